// Arbitrary bytes from a client into the simulated rig: the frame assembler cuts
// them into requests, the ten meters answer. Console lines, rig files and state
// files are mixed in. Nothing may crash or hang; without injected faults every
// answer is a whole frame with right check bytes from the addressed meter.
//
// Input: operations, each an opcode byte and its arguments:
//   0 gap, length, bytes        bytes on the line after a pause of gap ms
//   1 meter, command, 9 data    a well-formed request (right check bytes)
//   2 length, text              a console line
//   3 length, text              a rig file (parsed) and a state file (loaded)
#include "protocol/vq7prot/vq7cmd.h"
#include "sim/Console.h"
#include "sim/FrameAssembler.h"
#include "sim/Rig.h"
#include "sim/SimFrames.h"

#include <cstdlib>
#include <string>

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

bool MeterCode(uint8_t code)
{
    return code == VQ7_ERR_BAD_PARAM || code == VQ7_ERR_BAD_COMMAND || code == VQ7_ERR_BUSY ||
           code == VQ7_ERR_EEPROM_WRITE;
}

void CheckAnswer(const std::array<uint8_t, 16>& request, const BusAnswer& a, bool faults)
{
    Check(a.bytes.empty() == (a.meter == 0));
    if (a.bytes.empty())
        return;
    const size_t n = a.bytes.size();
    if (faults) {
        Check(n <= ZUA_SUPERLONG_MAX_SIZE + 255);
        return;
    }
    Check(n == SimAnswerLength(request[4]));
    Check(AnswerChecksOk(a.bytes.data(), static_cast<unsigned>(n)));
    Check(!IsBroadcastAddress(request.data()));   // ten meters: nobody answers a broadcast
    Check(LeU32(a.bytes.data()) == LeU32(request.data()));
    Check(a.bytes[4] == request[4] || MeterCode(a.bytes[4]));
    if (n == ZUA_SUPERLONG_MAX_SIZE)
        Check(a.bytes[5] + 8u == n);
}

struct Input {
    const uint8_t* p;
    size_t left;
    bool Byte(uint8_t& b)
    {
        if (left == 0)
            return false;
        b = *p++;
        --left;
        return true;
    }
    std::string Text()
    {
        uint8_t n = 0;
        Byte(n);
        const size_t k = std::min<size_t>(n, left);
        std::string s(reinterpret_cast<const char*>(p), k);
        p += k;
        left -= k;
        return s;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The ten default meters' settings are made once; each input gets a rig of
    // its own built from them.
    static const std::vector<SimMeterConfig> kMeters = CRig::DefaultMeters();
    auto rig = std::make_unique<CRig>();
    for (const SimMeterConfig& m : kMeters)
        rig->AddMeter(m);
    rig->SetIntegrationMs(10);
    const auto numbers = rig->Numbers();
    for (uint32_t number : numbers) {
        CVirtualMeter* m = rig->Meter(number);
        m->SetRestartMode(m->GetRestartMode(), 0);   // no silence after a restart
    }
    CSimConsole console(*rig, nullptr);
    CFrameAssembler frames;
    bool faults = false;
    long long nowMs = 0;

    auto serve = [&] {
        std::array<uint8_t, 16> request;
        while (frames.Next(request)) {
            Check(RequestFrameOk(request.data()));
            CheckAnswer(request, rig->Exchange(request.data(), request.size()), faults);
        }
        Check(frames.Pending() < 16);
    };

    Input in{data, size};
    uint8_t op = 0;
    while (in.Byte(op)) {
        switch (op % 4) {
        case 0: {
            uint8_t gap = 0;
            in.Byte(gap);
            const std::string bytes = in.Text();
            nowMs += gap;
            frames.Push(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), nowMs);
            serve();
            break;
        }
        case 1: {
            uint8_t which = 0;
            std::array<uint8_t, 16> request{};
            in.Byte(which);
            const uint32_t number = which < numbers.size() ? numbers[which] : VQ7_BROADCAST_NUMBER - (which & 1);
            PutSimAddress(request.data(), number);
            for (size_t i = 4; i < 14; ++i)
                in.Byte(request[i]);
            ComputeChecks(request.data(), 14, request[14], request[15]);
            frames.Push(request.data(), request.size(), nowMs);
            serve();
            break;
        }
        case 2: {
            const std::string line = in.Text();
            console.Execute(line);
            faults = true;   // the line may have injected a fault
            break;
        }
        case 3: {
            const std::string text = in.Text();
            std::vector<SimMeterConfig> meters;
            std::string error;
            if (CRig::ParseRigText(text, meters, &error))
                Check(!meters.empty() && meters.size() <= SIM_MAX_METERS);
            else
                Check(!error.empty());
            rig->Meter(numbers[0])->LoadState(text, &error);
            break;
        }
        }
    }
    return 0;
}
