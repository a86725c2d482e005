// What a channel scan found, and what 'ombrel scan' prints of it: a line per candidate
// tried ("n of m", lock, services), the summary, and the channels for the channel file.
// Texts are UTF-8 (as the tables give them); the program converts them for the console.
#pragma once

#include "ChannelFile.h"
#include "JsonOutput.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ombrel_cli {

enum class ServiceKind { Television, Radio, Other };

struct ScannedService {
    std::uint16_t id = 0;
    std::string name;
    std::string provider;
    ServiceKind kind = ServiceKind::Other;
    bool scrambled = false;
    std::vector<std::uint16_t> caSystemIds;
    std::vector<std::uint16_t> videoPids;
    std::vector<std::uint16_t> audioPids;
    std::string virtualChannel;  // ATSC "34.1"
};

struct ScannedMultiplex {
    Delivery delivery;
    std::string label;  // the candidate's
    std::uint16_t transportStreamId = 0;
    std::uint16_t originalNetworkId = 0;
    std::optional<std::uint16_t> networkId;  // when its NIT was read
    std::string networkName;
    std::vector<ScannedService> services;
    std::string missing;  // the tables that did not complete in time; empty when all did
};

enum class AttemptOutcome { NoSignal, NoLock, Locked, LockTimeout };

struct ScanAttempt {
    std::size_t number = 0;  // n of
    std::size_t total = 0;   // m
    std::string label;
    AttemptOutcome outcome = AttemptOutcome::NoSignal;
    const ScannedMultiplex* multiplex = nullptr;  // with Locked
    std::size_t added = 0;                        // transports its NIT added
    std::chrono::milliseconds elapsed{0};
};

enum class ScanEnd { Complete, Interrupted, TunerGone };

struct ScanSummary {
    std::span<const ScannedMultiplex> multiplexes;
    std::size_t tried = 0;
    std::chrono::milliseconds elapsed{0};
    std::vector<std::uint8_t> inputsAnswering;  // satellite: inputs where something locked
    bool satellite = false;
    ScanEnd end = ScanEnd::Complete;
    std::optional<std::string> written;  // the channel file, when one was written
};

// " 3 of 12  input A 11362 MHz H 22000 kS/s  locked, 2 services, NIT: 3 more  (0.4 s)".
std::string ScanProgressText(const ScanAttempt& attempt);
// {"event":"multiplex","number":3,"of":12,...} and a line end.
std::string ScanProgressJson(const ScanAttempt& attempt);

// Totals, each service with its multiplex, and how the scan ended.
std::string ScanSummaryText(const ScanSummary& summary);
// {"event":"summary",...} and a line end.
std::string ScanSummaryJson(const ScanSummary& summary);

// The channel file's entries: one per service, in the order found.
std::vector<Channel> ChannelsOf(std::span<const ScannedMultiplex> multiplexes);


}  // namespace ombrel_cli
