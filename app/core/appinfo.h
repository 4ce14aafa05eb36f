#pragma once

#include <QString>

// What the program says about itself. The version and date come from CMake, so the title, the
// about box, the tray, the update check and the package cannot disagree.
namespace AppInfo {

// "2.8.2"
QString version();

// "Quillon V2.8.2  (2022-09-20)": the window title and the about box's caption.
QString versionTitle();

// The tray icon's tool tip: program and version, and the open port when there is one.
QString trayTip();
QString trayTip(const QString& port);

}

// The open button's colour tells the port's state: black closed, blue open, grey when the
// button is locked (receiving paused, or the view fed by log sharing).
namespace PortButtonStyle {

inline constexpr char kClosed[] = "QPushButton{color:#000000;font-weight:bold;}";
inline constexpr char kOpen[] = "QPushButton{color:#0000FF;font-weight:bold;}";
inline constexpr char kLocked[] = "QPushButton{color:#969696;font-weight:bold;}";

}
