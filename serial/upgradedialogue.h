#pragma once

// The boot loader's text dialogue: what to show, write and do for each received line.
class UpgradeDialogue {
public:
    UpgradeDialogue() = default;
};
