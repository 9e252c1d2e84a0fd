#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

// Faults the simulated station can put into its exchanges, switched on by
// rules and counted as they fire.
namespace nimbary::sim {

enum class Fault : int {
    NoReply,              // the request is lost: nothing done, nothing sent
    LateReply,            // the reply comes after the reader's time-out and then sits queued
    WrongCode,            // the reply carries another command code (valid checksum)
    BadChecksum,          // the reply's checksum byte is off by one
    Length0,              // length byte 0, one report
    Length1,              // length byte 1, one report
    Length65NoSecond,     // length byte 65 or more, but no second report follows
    Length129,            // length byte 129 or more, two reports
    MissingSecondReport,  // a two-report reply loses its second report
    StaleReports,         // reports of an earlier, unrelated reply are queued first
    WrongEcho,            // memory area or graph type byte differs (commands 0x02, 0x09)
    WrongStatus,          // status byte 1, the write not carried out (0x83, 0x87, 0x88)
    UnplugMidExchange,    // the station goes away after taking the request
};
constexpr int kFaultKinds = static_cast<int>(Fault::UnplugMidExchange) + 1;

const char* FaultName(Fault f);

// One input report waiting to be read, with the delay before it arrives.
struct SimReport {
    std::array<uint8_t, 64> data{};
    int delayMs = 0;
};

class FaultInjector {
public:
    static constexpr int kEvery = -1;  // a rule that never runs out
    static constexpr int kAnyCommand = -1;
    static constexpr int kAnySelector = -1;

    // Applies `fault` to the next `exchanges` exchanges it fits (kEvery: to
    // all of them), limited to requests with `command` unless kAnyCommand,
    // and to those whose frame byte 2 (memory area, graph type, what to
    // clear) is `selector` unless kAnySelector. Rules are tried in the order
    // added; one fault per exchange.
    void Add(Fault fault, int exchanges = 1, int command = kAnyCommand,
             int selector = kAnySelector);
    void Clear();
    // How often a fault has fired since construction or ResetCounts.
    int Fired(Fault fault) const;
    int TotalFired() const;
    void ResetCounts();

    void SetLateDelayMs(int ms);
    int LateDelayMs() const;
    void SetStaleReports(int count);  // reports queued by StaleReports (1..8)

    // Whether `fault` can be applied to a request with `command` whose reply
    // is `replyLength` bytes long.
    static bool Fits(Fault fault, uint8_t command, size_t replyLength);

    // Picks (and counts) the fault for this exchange, if any rule matches;
    // `selector` is the request's frame byte 2.
    bool Pick(uint8_t command, uint8_t selector, size_t replyLength, Fault& out);

    // The reports a reply frame becomes, with `fault` applied (nullptr: none).
    std::vector<SimReport> Shape(const std::vector<uint8_t>& reply, const Fault* fault) const;

private:
    struct Rule {
        Fault fault;
        int remaining;
        int command;
        int selector;
    };
    mutable std::mutex mutex_;
    std::vector<Rule> rules_;
    std::array<int, kFaultKinds> fired_{};
    int lateDelayMs_ = 1500;
    int staleReports_ = 1;
};

}  // namespace nimbary::sim
