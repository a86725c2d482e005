// OmbrelStream: receiving a tuner's transport stream (static library, MinGW-w64).
//
// A DirectShow sink filter that cuts the stream into whole packets for a callback, and
// a helper that builds, runs and tears down the graph from a tuner's filters to it.
// Every function returns an HRESULT; nothing else crosses the library boundary.

/**
 * @file OmbrelStream.h
 * @brief OmbrelStream: a tuner's transport stream as whole packets, without DirectShow
 *        plumbing of the application's own.
 *
 * A static library beside OmbrelApi.dll (`lib/libOmbrelStream.a`, built with MinGW-w64,
 * for programs built with MinGW-w64; CMake target `OmbrelApi::Stream`). It has two parts:
 *
 * - the **transport-stream sink** (#OBS_CreateSink): a DirectShow filter with one input
 *   pin that takes the tuners' stream (`MEDIATYPE_Stream` with the BDA transport-stream
 *   subtype `KSDATAFORMAT_SUBTYPE_BDA_MPEG2_TRANSPORT` {F4AEB342-0329-4FDD-A8FD-4AFF4926C978},
 *   with `MEDIASUBTYPE_MPEG2_TRANSPORT` {E06D8023-DB46-11CF-B4D1-00805F6CBBEA}, or with no
 *   subtype) and hands whole 188-byte packets to a callback of the application's;
 * - the **stream helper** (#OBS_StartStream): builds a graph from an open tuner handle's
 *   filters to a sink (WDM: the capture filter's output pin to the sink; BDA: the network
 *   tuner to its receiver component, the receiver to the sink), runs it, reports its end
 *   (#OBS_WaitStream) and tears it down (#OBS_StopStream).
 *
 * Neither needs an MPEG-2 demultiplexer, a network provider or a transport information
 * filter: the graph holds only the tuner's own filters and the sink.
 *
 * @section stream_packets Packets
 * Drivers deliver the stream in buffers of their own size, which need not hold whole
 * packets. The sink keeps the start of a packet split across two buffers until its rest
 * arrives. It takes a position as a packet boundary once three sync bytes (0x47) follow
 * each other 188 bytes apart, and passes a packet on only when the byte after it is a
 * sync byte too (so a packet cut short by lost bytes never goes on spliced with the next
 * one); the last packet of a buffer therefore waits for the next buffer. Bytes that
 * belong to no whole packet (garbage before sync, a damaged stretch, the start of a packet
 * before a break) are dropped and counted (_OBS_STATISTICS::BytesDropped), never passed
 * on. At the end of the stream the packets still waiting are passed on.
 *
 * The callback's `discontinuity` flag says that its packets do not follow the ones passed
 * on before them directly: the driver marked the buffer as a discontinuity (the start of
 * the split packet kept from before is then dropped), or bytes were dropped in between.
 *
 * @section stream_threads Threads and COM
 * - COM must be initialised on the thread that calls #OBS_CreateSink or #OBS_StartStream
 *   (#OB_Initialize does so for its caller). Call a stream's functions from the thread
 *   that started it; #OBS_WaitStream dispatches that thread's window messages while it
 *   waits, as a single-threaded apartment needs.
 * - The packet callback runs on the tuner filter's streaming thread, one call at a time
 *   (its last calls, for the packets waiting when the graph stops, on the thread that
 *   stops it). It must return promptly and must not call #OBS_StopStream or stop the
 *   graph (that waits for the callback to return).
 *
 * @section stream_example Receiving a stream
 * @code
 * // Tune the handle's tuner first (OB_SelectMultiplex_DVBS, OB_CheckTuningFlag, ...).
 * HRESULT OMBREL_CALL Write(void* file, const unsigned char* packets, unsigned long count, BOOL) {
 *     return fwrite(packets, 188, count, static_cast<FILE*>(file)) == count ? S_OK : E_FAIL;
 * }
 * ...
 * OBS_STREAM stream = nullptr;
 * if (SUCCEEDED(OBS_StartStream(tuner, Write, file, &stream))) {
 *     OBS_STREAM_EVENT event = OBS_EVENT_NONE;
 *     HRESULT reason = S_OK;
 *     if (OBS_WaitStream(stream, 10000, &event, &reason) == S_OK)
 *         printf("the stream ended early (%d, 0x%08lX)\n", event, reason);
 *     OBS_STATISTICS figures = {};
 *     OBS_StopStream(stream, &figures);
 *     printf("%llu packets, %llu continuity errors\n", figures.Packets, figures.ContinuityErrors);
 * }
 * @endcode
 */
#ifndef OMBRELSTREAM_H
#define OMBRELSTREAM_H

#include <OmbrelApi.h>

/** @name Stream events
 *  What #OBS_WaitStream reports. @{ */
/** How a running stream ended (#OBS_WaitStream). */
typedef enum OBS_STREAM_EVENT {
    OBS_EVENT_NONE = 0,         ///< Nothing yet: the stream runs.
    OBS_EVENT_COMPLETE = 1,     ///< The tuner filter ended the stream (`EC_COMPLETE`); every packet was passed on.
    OBS_EVENT_DEVICE_LOST = 2,  ///< The tuner went (`EC_DEVICE_LOST`, or the library saw it detached).
    OBS_EVENT_ERROR = 3         ///< The graph stopped on an error (`EC_ERRORABORT` and kin), or the callback failed.
} OBS_STREAM_EVENT;
/** @} */

/** The figures of a sink (#OBS_GetSinkStatistics, #OBS_GetStreamStatistics), counted
 *  since the sink was made. */
typedef struct _OBS_STATISTICS {
    unsigned long long Buffers;           ///< Media samples received, empty ones included.
    unsigned long long BytesReceived;     ///< Bytes in them.
    unsigned long long Packets;           ///< Whole packets passed to the callback.
    unsigned long long BytesDropped;      ///< Bytes that belonged to no whole packet (see @ref stream_packets).
    unsigned long long SyncLosses;        ///< Times a packet was not followed by a sync byte once in sync.
    unsigned long long Discontinuities;   ///< Callback calls with the discontinuity flag.
    unsigned long long ContinuityErrors;  ///< Packets whose PID's continuity counter did not follow on (a packet of that PID lost), within the runs between discontinuities.
    unsigned long long ScrambledPackets;  ///< Packets with transport_scrambling_control other than 00.
    unsigned long long TransportErrors;   ///< Packets with transport_error_indicator set (damaged on the way; not read further).
} OBS_STATISTICS;

/** Receives whole packets from a sink.
 *  @param context The context given with the callback.
 *  @param packets `count` packets of 188 bytes each, one after the other, each starting
 *         with 0x47; valid only during the call.
 *  @param count Number of packets, at least 1.
 *  @param discontinuity TRUE when these packets do not follow the ones passed on before
 *         them directly (see @ref stream_packets).
 *  @return S_OK to go on. A failure stops the sink: it passes nothing on any more,
 *          refuses the samples that follow with that code and reports it to the graph
 *          (`EC_ERRORABORT`, #OBS_EVENT_ERROR from #OBS_WaitStream). */
typedef HRESULT(OMBREL_CALL* OBS_PACKET_CALLBACK)(void* context, const unsigned char* packets,
                                                  unsigned long count, BOOL discontinuity);

/** A running stream of #OBS_StartStream (opaque). */
typedef struct OBS_STREAM_OBJECT* OBS_STREAM;

/** Makes a transport-stream sink filter for a graph of the application's own.
 *  @param callback Receives the packets (see #OBS_PACKET_CALLBACK).
 *  @param context Passed to the callback unchanged.
 *  @param sink Receives the filter with a reference of the caller's own (release it).
 *  @return S_OK, E_POINTER for a null callback or sink, E_OUTOFMEMORY. */
HRESULT OMBREL_CALL OBS_CreateSink(OBS_PACKET_CALLBACK callback, void* context, IBaseFilter** sink);

/** Reads the figures of a sink made by #OBS_CreateSink.
 *  @param sink The sink.
 *  @param statistics Receives the figures.
 *  @return S_OK, E_POINTER for a null argument, E_NOINTERFACE when the filter is no such
 *          sink. */
HRESULT OMBREL_CALL OBS_GetSinkStatistics(IBaseFilter* sink, OBS_STATISTICS* statistics);

/** Receives the stream of an open tuner handle: builds a graph in the Filter Graph
 *  Manager from the handle's filters (#OB_GetDirectShowFilter, and for a BDA tuner
 *  #OB_GetReceiverDirectShowFilter) to a new sink, and runs it. Tune the tuner before or
 *  after; packets come while it is locked.
 *  @param handle An open handle of OmbrelApi.
 *  @param callback Receives the packets (see #OBS_PACKET_CALLBACK).
 *  @param context Passed to the callback unchanged.
 *  @param stream Receives the running stream; end it with #OBS_StopStream. Null on
 *         failure.
 *  @return S_OK; E_POINTER for a null callback or stream; E_HANDLE when the handle is
 *          unknown to the library; HRESULT_FROM_WIN32(ERROR_BUSY) when the handle's
 *          filters are in a graph already (another stream of the same handle);
 *          VFW_E_NOT_FOUND when a filter lacks the pin to connect; the code of the
 *          connection or of the run that failed (for example VFW_E_CANNOT_CONNECT,
 *          VFW_E_NO_ACCEPTABLE_TYPES). Nothing is left in a graph on failure. */
HRESULT OMBREL_CALL OBS_StartStream(unsigned long handle, OBS_PACKET_CALLBACK callback, void* context,
                                    OBS_STREAM* stream);

/** Waits until the stream ends or the time is up. The graph's other events are taken and
 *  dropped; once ended, every later call reports the same event at once.
 *  @param stream A stream of #OBS_StartStream.
 *  @param timeoutMs How long to wait, in milliseconds; 0 looks without waiting, INFINITE
 *         waits until it ends.
 *  @param event Receives #OBS_EVENT_NONE when the time was up, else how the stream ended.
 *  @param reason Receives the graph's code with the event (the error of
 *         #OBS_EVENT_ERROR; S_OK otherwise). May be null.
 *  @return S_OK when the stream ended, S_FALSE when the time was up, E_POINTER for a null
 *          stream or event. */
HRESULT OMBREL_CALL OBS_WaitStream(OBS_STREAM stream, DWORD timeoutMs, OBS_STREAM_EVENT* event, HRESULT* reason);

/** Reads the figures of the stream's sink (see #OBS_GetSinkStatistics) while it runs or
 *  after it ended; #OBS_StopStream gives the final ones.
 *  @param stream A stream of #OBS_StartStream.
 *  @param statistics Receives the figures.
 *  @return S_OK or E_POINTER. */
HRESULT OMBREL_CALL OBS_GetStreamStatistics(OBS_STREAM stream, OBS_STATISTICS* statistics);

/** Stops the stream's graph, takes the handle's filters out of it again (they stay the
 *  handle's, ready for another stream) and frees the stream. The whole packets still
 *  waiting in the sink go to the callback during the stop, on the calling thread (the
 *  start of a split packet is dropped); once it returns, the callback is not called
 *  again.
 *  @param stream A stream of #OBS_StartStream; null does nothing.
 *  @param statistics Receives the sink's final figures (see #OBS_GetSinkStatistics);
 *         may be null.
 *  @return S_OK, or the code of the graph's stop (the stream is freed all the same). */
HRESULT OMBREL_CALL OBS_StopStream(OBS_STREAM stream, OBS_STATISTICS* statistics);

#endif  // OMBRELSTREAM_H
