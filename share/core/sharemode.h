#pragma once

// The role of log sharing. The dialog's shareMode() gives it as 0, 1 or 2; the code inside uses
// these names.
enum class ShareMode { Off = 0, Receive = 1, Send = 2 };

inline ShareMode shareModeFromInt(int mode)
{
    return mode == 1 ? ShareMode::Receive : mode == 2 ? ShareMode::Send : ShareMode::Off;
}
