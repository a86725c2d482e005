// What a channel scan tries, in order: the multiplexes of a start file on each DiSEqC
// input, a sweep of an LNB's bands and polarisations, or the terrestrial or ATSC channel
// raster; and the transports that the networks' NITs list, each once. The plan knows
// nothing of what the air holds: it learns of each multiplex as the scan finds it, and
// skips what a multiplex found already covers.
#pragma once

#include "ChannelFile.h"
#include "TuneArguments.h"
#include "TunerRecord.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ombrel_cli {

namespace scan {
// A front end finds a satellite carrier within this distance of the frequency tuned, and
// a terrestrial one within the second: sweep steps are twice the first, and two deliveries
// this close name the same multiplex.
inline constexpr std::uint32_t kSatelliteCaptureKHz = 3000;
inline constexpr std::uint32_t kTerrestrialCaptureKHz = 250;
inline constexpr std::uint32_t kSweepStepKHz = 2 * kSatelliteCaptureKHz;
// Symbol rates a sweep tries, most common first, when it finds a carrier that does not
// lock at the first (the front ends need the rate; modulation and FEC they find).
inline constexpr std::uint32_t kSweepSymbolRates[] = {27500, 22000, 29700, 30000, 28000, 29900, 27000, 23000, 24500};
}  // namespace scan

enum class CandidateOrigin { StartFile, Sweep, Raster, Network };

struct Candidate {
    Delivery delivery;             // satellite: satelliteNumber is the input to try
    CandidateOrigin origin = CandidateOrigin::Raster;
    std::string label;             // "input A 10744 MHz H", "channel 21 (474 MHz)"
    bool networkKnown = false;     // a NIT read before lists it: its network's NIT is not read again
    // Sweep points: further symbol rates to try when a carrier is found that does not lock.
    std::vector<std::uint32_t> otherSymbolRates;
};

// A channel of the raster: its number and centre.
struct RasterChannel {
    int number;
    std::uint32_t centreKHz;
    std::uint8_t bandwidthMHz;
};
// DVB-T: VHF 7 MHz channels 5 to 12, UHF 8 MHz channels 21 to 69.
std::vector<RasterChannel> DvbtRaster();
// ATSC: 6 MHz channels 2 to 51.
std::vector<RasterChannel> AtscRaster();

class ScanPlan {
public:
    // Each start-file multiplex on its SAT_NUMBER input, or else on each of `inputs`.
    static ScanPlan FromStartFile(std::span<const Delivery> start, std::span<const std::uint8_t> inputs);
    // Both polarisations and every band of the LNB on each input, in steps the front
    // end's capture range leaves no gap between.
    static ScanPlan SatelliteSweep(const LnbSetting& lnb, std::span<const std::uint8_t> inputs);
    static ScanPlan Raster(Reception family);

    // The next candidate to try, skipping those a multiplex found covers; none at the end.
    std::optional<Candidate> Next();
    // A multiplex found there: candidates it covers are skipped from now on.
    void Found(const Delivery& delivery);
    // The deliveries of a NIT read on `input` (satellite): those not yet found or planned
    // are tried next; a planned one takes the NIT's exact parameters. Returns how
    // many were added.
    std::size_t AddFromNetwork(std::span<const Delivery> transports, std::optional<std::uint8_t> input);

    std::size_t Tried() const { return tried_; }
    // Tried plus those left (sweep points that will be skipped included until they are).
    std::size_t Total() const { return tried_ + pending_.size(); }

    // The inputs a satellite plan tries; empty otherwise.
    const std::vector<std::uint8_t>& Inputs() const { return inputs_; }

private:
    bool Covered(const Delivery& d) const;

    std::deque<Candidate> pending_;
    std::vector<Delivery> found_;
    std::vector<Delivery> listed_;  // by a NIT read so far
    std::vector<std::uint8_t> inputs_;
    std::size_t tried_ = 0;
};

// Whether two deliveries name the same multiplex (same input and polarisation, or the
// same terrestrial channel, within the capture range).
bool SameMultiplex(const Delivery& a, const Delivery& b);

// "input A 10744 MHz H 22000 kS/s", "474 MHz".
std::string DeliveryText(const Delivery& d);

}  // namespace ombrel_cli
