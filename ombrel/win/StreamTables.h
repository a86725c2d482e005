// Reads the tables of the multiplex a tuner is locked on from its transport stream: the
// stream's packets go from the streaming thread into a hand-over box, and the waiting
// thread feeds them to a TableReader until the tables are whole, the time is up, Ctrl+C
// comes or the tuner goes.
#pragma once

#include "TunerStream.h"

#include <TableReader.h>

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace ombrel_cli {

enum class TablesEnd {
    Complete,      // every table needed was read whole
    TimedOut,      // the time was up first; `missing` says what was not
    Interrupted,   // the interrupt was signalled first
    TunerLost,     // the tuner went (OBS_EVENT_DEVICE_LOST)
    StreamFailed,  // the stream did not start, or ended otherwise; `error` has its code
};

struct StreamTablesResult {
    TablesEnd end = TablesEnd::TimedOut;
    talvex::tables::Multiplex multiplex;  // what was read: whole when Complete, else so far
    std::string missing;                  // the reader's MissingText() when not Complete
    HRESULT error = S_OK;                 // StreamFailed: the start's or the graph's code
    std::chrono::milliseconds elapsed{0};
    std::uint64_t packets = 0;            // packets fed to the reader
};

// "complete", "timed out", "interrupted", "tuner lost", "stream failed".
std::string_view TablesEndText(TablesEnd end);

// A tuner's stream kept running for one or more reads of tables (a scan retunes between
// them: each Read takes only the packets that arrive while it runs).
class StreamTables {
public:
    // Starts the tuner's stream (COM initialised on this thread; OB_Initialize does it).
    explicit StreamTables(unsigned long handle);
    ~StreamTables();
    StreamTables(const StreamTables&) = delete;
    StreamTables& operator=(const StreamTables&) = delete;

    // S_OK when the stream runs; otherwise OBS_StartStream's code (Read then ends at once
    // with StreamFailed).
    HRESULT StartResult() const;

    // Reads until the tables `needs` names are whole, `timeout` has passed, `interrupt`
    // (may be null) is signalled, or the stream ends.
    StreamTablesResult Read(const talvex::tables::Needs& needs, std::chrono::milliseconds timeout, HANDLE interrupt);

private:
    struct Inbox;
    std::unique_ptr<Inbox> inbox_;  // outlives the stream, whose callback writes into it
    std::unique_ptr<TunerStream> stream_;
};

// One read on a stream of its own, stopped again before it returns.
StreamTablesResult ReadStreamTables(unsigned long handle, const talvex::tables::Needs& needs,
                                    std::chrono::milliseconds timeout, HANDLE interrupt);

}  // namespace ombrel_cli
