// Layout of the simulator's system-wide state: one fixed-size, plain-data block that
// lives in a file-backed mapping so that every process of the prefix sees the same
// devices and the state outlives the process that changed it.
//
// Everything here is trivially copyable; strings are UTF-8, NUL-terminated.
#pragma once

#include <cstddef>
#include <cstdint>

#include "CaModuleState.h"
#include "FrontEndState.h"

namespace tunersim::layout {

inline constexpr uint32_t kMagic = 0x4D495354;  // "TSIM"
inline constexpr uint32_t kLayoutVersion = 7;

inline constexpr std::size_t kMaxDevices = 32;
inline constexpr std::size_t kPropertySlots = 64;  // property numbers 0..63 are tracked
inline constexpr std::size_t kIdChars = 16;
inline constexpr std::size_t kFriendlyChars = 128;   // including the NUL
inline constexpr std::size_t kInstanceChars = 261;   // including the NUL
inline constexpr std::size_t kDriverVersionChars = 21;
inline constexpr std::size_t kNotedBytes = 64;       // of each property's last set

inline constexpr uint32_t kDefaultUpdateDurationMs = 4000;
inline constexpr uint32_t kDefaultUpdateHoldMs = 1500;
// Pause between the disappearance and the return of a rebooting box.
inline constexpr uint32_t kRebootGapMs = 300;

enum Role : uint32_t { kRoleWdm = 0, kRoleTuner = 1, kRoleReceiver = 2 };
inline constexpr int kRoleCount = 3;

// What the last set of a property carried, for tests that check what reached the driver.
struct NotedSet {
    uint32_t length;            // the request's data length
    uint8_t bytes[kNotedBytes]; // its first bytes; zero beyond the length
};

struct FaultSlot {
    uint32_t kind;  // FaultKind as number (0 = none)
    uint32_t bytes;
    uint32_t delayMs;
};

// What the next update run is scripted to do.
enum class ScriptAction : uint32_t { None = 0, Fail = 1, Stall = 2, Vanish = 3 };

struct UpdateScript {
    ScriptAction action;
    uint8_t percent;
    uint8_t errorCode;
    uint8_t failState;
    uint8_t reserved;
};

enum class UpdatePhase : uint32_t {
    Idle = 0,       // no set 17 received since plug-in of the record
    Rejected = 1,   // image check failed: failure reported at once
    Running = 2,    // progress follows the clock
    Failed = 3,     // scripted failure reached
    Vanished = 4,   // scripted disappearance happened
    Finished = 5,   // new version applied and box re-enumerated
};

struct UpdateRun {
    UpdatePhase phase;
    uint32_t generation;    // bumped by every accepted set 17
    int64_t startMs;        // wall clock (ms since 1601) when set 17 was accepted
    uint32_t durationMs;    // 0 -> 100 %
    uint32_t holdMs;        // time at 100 % before the reboot
    UpdateScript script;    // copy taken when the run started
    uint8_t errorCode;      // Rejected / Failed
    uint8_t failState;
    uint8_t failProgress;
    uint8_t versionApplied; // image version written into the device record
    uint8_t newMajor, newMinor, newPatch, reserved;
    uint16_t newBuild;
    uint16_t reserved2;
    uint32_t workerPid;     // process whose worker drives the run's side effects
    uint32_t lastImageLength;
    uint32_t lastImageCrc;
    uint32_t imagesReceived;
};

// The remote control of a box: keys pressed and not yet read, and the reads of property 26
// that wait for them (in any process).
inline constexpr std::size_t kKeyQueueLength = 64;

struct RemoteState {
    uint16_t keys[kKeyQueueLength];  // ring: the oldest at `head`
    uint32_t head;
    uint32_t queued;
    uint32_t waitingReads;      // reads waiting now
    uint32_t cancelGeneration;  // bumped by every cancel that takes effect
    uint32_t cancelPending;     // 1: a cancel that the next read (or a waiting one) consumes
    uint32_t failNextRead;      // fault: the next read fails
    uint32_t ignoreCancel;      // fault: a cancel is answered S_OK and does nothing
    uint32_t pressed;           // keys queued since plug-in
    uint32_t read;              // keys handed to a read
    uint32_t dropped;           // keys lost to a full queue
    uint32_t cancels;           // well-formed cancels received
    uint32_t malformedCancels;  // cancels with a buffer or a length (rejected)
    uint32_t releasedReads;     // reads ended by a cancel
};

struct DeviceRecord {
    uint32_t used;
    uint32_t plugged;
    uint32_t models;
    uint32_t subunit;
    char id[kIdChars + 1];
    uint8_t productLine, modelCode, hardwareRevision;
    uint8_t versionMajor, versionMinor, versionPatch;
    uint8_t withReceiver;
    uint16_t build;
    char driverVersion[kDriverVersionChars];
    uint8_t systemInfo[8];
    uint8_t boardTemperature[4];
    char friendlyNames[kRoleCount][kFriendlyChars];
    char instanceNames[kRoleCount][kInstanceChars];
    FaultSlot faults[kPropertySlots][2];   // [property][0 = get, 1 = set]
    uint32_t requests[kPropertySlots][2];
    uint32_t instanceLengths[kPropertySlots][2];  // of the last request
    NotedSet lastSets[kPropertySlots];
    uint32_t lastGetLengths[kPropertySlots];
    uint32_t updateDurationMs;
    uint32_t updateHoldMs;
    UpdateScript script;                   // applies to the next run
    UpdateRun update;
    FrontEndState frontEnd;
    RemoteState remote;
    CaModuleState ci;
};

struct SharedState {
    uint32_t magic;
    uint32_t layoutVersion;
    uint32_t size;
    uint32_t serial;  // feeds generated device ids
    DeviceRecord devices[kMaxDevices];
};

}  // namespace tunersim::layout
