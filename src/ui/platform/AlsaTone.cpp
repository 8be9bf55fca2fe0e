#include "ui/platform/AlsaTone.h"

#include <alsa/asoundlib.h>

#include <cmath>
#include <cstdarg>
#include <vector>

namespace {
constexpr unsigned kRate = 44100;

// ALSA reports a missing card on stderr; the caller falls back quietly instead.
void SilentAlsaErrors(const char*, int, const char*, int, const char*, ...) {}
}

bool PlayAlsaTone(unsigned hz, unsigned ms)
{
    static const bool silenced = (snd_lib_error_set_handler(SilentAlsaErrors), true);
    (void)silenced;
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0)
        return false;
    if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, kRate, 1, 100000) < 0) {
        snd_pcm_close(pcm);
        return false;
    }
    const size_t frames = static_cast<size_t>(kRate) * ms / 1000;
    std::vector<int16_t> samples(frames);
    // 5 ms ramps at both ends keep the tone free of clicks.
    const double ramp = kRate * 0.005;
    for (size_t i = 0; i < frames; ++i) {
        double gain = 0.5;
        if (i < ramp)
            gain *= i / ramp;
        else if (frames - i < ramp)
            gain *= (frames - i) / ramp;
        samples[i] = static_cast<int16_t>(32767 * gain * std::sin(2 * M_PI * hz * static_cast<double>(i) / kRate));
    }
    bool ok = true;
    size_t done = 0;
    while (done < frames) {
        snd_pcm_sframes_t n = snd_pcm_writei(pcm, samples.data() + done, frames - done);
        if (n < 0)
            n = snd_pcm_recover(pcm, static_cast<int>(n), 1);
        if (n < 0) {
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (ok)
        snd_pcm_drain(pcm);
    snd_pcm_close(pcm);
    return ok;
}
