#pragma once
// A sine tone played through ALSA as 16-bit PCM on the default device.
// Blocks the calling thread until the tone has sounded.
// False (nothing played, nothing printed) when there is no sound device.
bool PlayAlsaTone(unsigned hz, unsigned ms);
