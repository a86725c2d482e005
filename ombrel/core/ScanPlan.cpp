#include "ScanPlan.h"

#include "FrontEndOutput.h"

#include <algorithm>

namespace ombrel_cli {
namespace {

std::uint32_t Distance(std::uint32_t a, std::uint32_t b) { return a > b ? a - b : b - a; }

Candidate Make(const Delivery& d, CandidateOrigin origin, std::string label = {}) {
    Candidate c;
    c.delivery = d;
    c.origin = origin;
    c.label = label.empty() ? DeliveryText(d) : std::move(label);
    return c;
}

void AddRange(std::vector<RasterChannel>& raster, int first, int last, std::uint32_t firstCentreKHz,
              std::uint8_t bandwidthMHz) {
    for (int n = first; n <= last; ++n) {
        raster.push_back({n, firstCentreKHz + static_cast<std::uint32_t>(n - first) * bandwidthMHz * 1000u, bandwidthMHz});
    }
}

}  // namespace

std::vector<RasterChannel> DvbtRaster() {
    std::vector<RasterChannel> raster;
    AddRange(raster, 5, 12, 177500, 7);
    AddRange(raster, 21, 69, 474000, 8);
    return raster;
}

std::vector<RasterChannel> AtscRaster() {
    std::vector<RasterChannel> raster;
    AddRange(raster, 2, 4, 57000, 6);
    AddRange(raster, 5, 6, 79000, 6);
    AddRange(raster, 7, 13, 177000, 6);
    AddRange(raster, 14, 51, 473000, 6);
    return raster;
}

bool SameMultiplex(const Delivery& a, const Delivery& b) {
    if (IsSatellite(a.system) != IsSatellite(b.system)) return false;
    if (IsSatellite(a.system)) {
        const bool sameInput = !a.satelliteNumber || !b.satelliteNumber || *a.satelliteNumber == *b.satelliteNumber;
        return sameInput && a.polarisation == b.polarisation &&
               Distance(a.frequencyKHz, b.frequencyKHz) <= scan::kSatelliteCaptureKHz;
    }
    return Distance(a.frequencyKHz, b.frequencyKHz) <= scan::kTerrestrialCaptureKHz;
}

std::string DeliveryText(const Delivery& d) {
    if (!IsSatellite(d.system)) return KHzText(d.frequencyKHz);
    std::string text;
    if (d.satelliteNumber) text = "input " + std::string(PortText(*d.satelliteNumber)) + " ";
    return text + KHzText(d.frequencyKHz) + " " + std::string(PolarisationText(d.polarisation)) + " " +
           std::to_string(d.symbolRate) + " kS/s";
}

ScanPlan ScanPlan::FromStartFile(std::span<const Delivery> start, std::span<const std::uint8_t> inputs) {
    ScanPlan plan;
    plan.inputs_.assign(inputs.begin(), inputs.end());
    for (std::uint8_t input : inputs) {
        for (const Delivery& d : start) {
            if (!IsSatellite(d.system)) {
                if (input == inputs.front()) plan.pending_.push_back(Make(d, CandidateOrigin::StartFile));
                continue;
            }
            if (d.satelliteNumber && *d.satelliteNumber != input) continue;
            Delivery on = d;
            on.satelliteNumber = input;
            plan.pending_.push_back(Make(on, CandidateOrigin::StartFile));
        }
    }
    return plan;
}

ScanPlan ScanPlan::SatelliteSweep(const LnbSetting& lnb, std::span<const std::uint8_t> inputs) {
    ScanPlan plan;
    plan.inputs_.assign(inputs.begin(), inputs.end());
    // Downlinks from the lowest the low band reaches to the highest the high band does;
    // each point covers the capture range on either side of it.
    const std::uint32_t lowest = lnb.lofLowKHz + tuning::kIfMinKHz;
    const std::uint32_t highest = (lnb.lofHighKHz ? lnb.lofHighKHz : lnb.lofLowKHz) + tuning::kIfMaxKHz;
    const auto intermediate = [&lnb](std::uint32_t f) {
        const bool high = lnb.lofHighKHz != 0 && f >= lnb.switchKHz;
        const std::uint32_t lo = high ? lnb.lofHighKHz : lnb.lofLowKHz;
        return Distance(f, lo);
    };
    for (std::uint8_t input : inputs) {
        for (std::uint8_t pol : {tuning::kHorizontal, tuning::kVertical}) {
            for (std::uint32_t f = lowest + scan::kSatelliteCaptureKHz; f < highest + scan::kSatelliteCaptureKHz;
                 f += scan::kSweepStepKHz) {
                const std::uint32_t point = std::min(f, highest);
                const std::uint32_t ifKHz = intermediate(point);
                if (ifKHz < tuning::kIfMinKHz || ifKHz > tuning::kIfMaxKHz) continue;
                Delivery d;
                d.system = DeliverySystem::DvbS;
                d.frequencyKHz = point;
                d.polarisation = pol;
                d.symbolRate = scan::kSweepSymbolRates[0];
                d.satelliteNumber = input;
                Candidate c = Make(d, CandidateOrigin::Sweep,
                                   "input " + std::string(PortText(input)) + " " + KHzText(point) + " " +
                                       std::string(PolarisationText(pol)));
                c.otherSymbolRates.assign(std::begin(scan::kSweepSymbolRates) + 1, std::end(scan::kSweepSymbolRates));
                plan.pending_.push_back(std::move(c));
            }
        }
    }
    return plan;
}

ScanPlan ScanPlan::Raster(Reception family) {
    ScanPlan plan;
    const bool atsc = family == Reception::Atsc;
    for (const RasterChannel& r : atsc ? AtscRaster() : DvbtRaster()) {
        Delivery d;
        d.system = atsc ? DeliverySystem::Atsc : DeliverySystem::DvbT;
        d.frequencyKHz = r.centreKHz;
        d.bandwidthMHz = r.bandwidthMHz;
        d.modulation = atsc ? tuning::k8vsb : tuning::kModulationAuto;
        plan.pending_.push_back(
            Make(d, CandidateOrigin::Raster, "channel " + std::to_string(r.number) + " (" + KHzText(r.centreKHz) + ")"));
    }
    return plan;
}

bool ScanPlan::Covered(const Delivery& d) const {
    return std::any_of(found_.begin(), found_.end(), [&](const Delivery& f) { return SameMultiplex(f, d); });
}

std::optional<Candidate> ScanPlan::Next() {
    while (!pending_.empty()) {
        Candidate c = std::move(pending_.front());
        pending_.pop_front();
        if (Covered(c.delivery)) continue;
        c.networkKnown = c.networkKnown ||
                         std::any_of(listed_.begin(), listed_.end(), [&](const Delivery& l) { return SameMultiplex(l, c.delivery); });
        ++tried_;
        return c;
    }
    return std::nullopt;
}

void ScanPlan::Found(const Delivery& delivery) { found_.push_back(delivery); }

std::size_t ScanPlan::AddFromNetwork(std::span<const Delivery> transports, std::optional<std::uint8_t> input) {
    std::size_t added = 0;
    for (Delivery d : transports) {
        if (IsSatellite(d.system)) d.satelliteNumber = input;
        listed_.push_back(d);
        if (Covered(d)) continue;
        const auto planned = std::find_if(pending_.begin(), pending_.end(), [&](const Candidate& c) {
            return c.origin != CandidateOrigin::Sweep && SameMultiplex(c.delivery, d);
        });
        if (planned != pending_.end()) {
            // The NIT's parameters are the multiplex's own; a raster guess or a start file's may not be.
            planned->delivery = d;
            planned->networkKnown = true;
            continue;
        }
        // Tried next, so that sweep points the multiplex covers are skipped once it is found.
        Candidate c = Make(d, CandidateOrigin::Network);
        c.networkKnown = true;
        const auto after = std::find_if(pending_.begin(), pending_.end(),
                                        [](const Candidate& p) { return p.origin != CandidateOrigin::Network; });
        pending_.insert(after, std::move(c));
        ++added;
    }
    return added;
}

}  // namespace ombrel_cli
