// The boot-loader dialogue's line handling, with random chunks and clocks.
#include "fuzzinput.h"
#include "serial/core/upgradedialogue.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    UpgradeDialogue dialogue;
    UpgradeDialogue::Inputs inputs;
    inputs.type = QByteArray::number(1 + in.number(5));
    inputs.key = in.piece(12);
    inputs.filePathSet = in.number(2);
    const int chunk = 1 + in.number(128);
    const QByteArray stream = in.rest();
    QByteArray pending;
    qint64 now = 0;
    for (int i = 0; i <= stream.size(); i += chunk) {
        pending += stream.mid(i, chunk);
        now += 1 + (i % 7) * 90;
        const auto actions = dialogue.feed(pending, now, inputs);
        for (const auto& a : actions) {
            // Only the chosen type digit and the key are ever written to the board.
            if (a.kind == UpgradeDialogue::Action::Write && a.bytes != inputs.type
                && a.bytes != inputs.key)
                abort();
            if (a.kind == UpgradeDialogue::Action::ClickSendFile && !inputs.filePathSet)
                abort();
            if (a.kind == UpgradeDialogue::Action::StopTransfer)
                inputs.transferRunning = false;
            if (a.kind == UpgradeDialogue::Action::ClickSendFile)
                inputs.transferRunning = !inputs.transferRunning;
        }
        // What waits for its line end stays short of the forced flush.
        if (pending.size() >= UpgradeDialogue::LineWaitBytes + chunk)
            abort();
    }
    return 0;
}
