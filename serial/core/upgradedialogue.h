#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// The boot loader's text dialogue: decides, for the bytes received since the last pass, what to
// show, what to write to the port and when to start or stop the file transfer. The window carries
// the actions out in order; the dialogue itself touches nothing.
class UpgradeDialogue {
public:
    struct Action {
        enum Kind {
            ShowPrompt, // insert text at the end of the view, on the current line, unprefixed
            ShowLine, // append text as a new received line (prefixed, counted)
            MoveCursorToEnd, // the view's cursor to the end
            Write, // bytes straight to the port
            StopTransfer, // stop the running file transfer
            ClickSendFile, // click the send-file button as a user would
            Uncheck, // switch the upgrade box off: the normal display takes over
            WarnTimeout, // the device went silent during a transfer
        };
        Kind kind;
        QString text;
        QByteArray bytes;

        bool operator==(const Action& other) const
        {
            return kind == other.kind && text == other.text && bytes == other.bytes;
        }
    };
    using Actions = QVector<Action>;

    // What the window reports about itself at each pass.
    struct Inputs {
        bool transferRunning = false;
        bool filePathSet = false;
        QByteArray type; // one ASCII digit
        QByteArray key;
    };

    // Silence after a prompt that ends the dialogue.
    static constexpr qint64 PromptTimeoutMs = 5000;
    // An unterminated line is held back this long after the last pass, unless it is this big.
    static constexpr qint64 LineWaitMs = 200;
    static constexpr int LineWaitBytes = 8192;

    // One pass over the pending bytes at nowMs (a monotonic clock). Empties `pending` when it is
    // processed, leaves it untouched while an unterminated line is still awaited.
    Actions feed(QByteArray& pending, qint64 nowMs, const Inputs& inputs);

    bool bannerSeen() const { return banner; }
    bool loaderSeen() const { return loader; }
    bool waitingForDevice() const { return waiting; }

    // The recognised device texts.
    static QString bannerText(); // "Copyright (C) 2015 Brenlow"
    static QString menuSeparator(); // "========="
    static QString keyPrompt(); // "请输入操作密码："
    static QString keyAgainPrompt(); // "请再次输入密码："
    static QString fileRequest(); // "请传送主程序HEX文件..."
    static QString successText(); // "文件下载成功！"
    static bool isPrompt(const QString& line);

private:
    void handleLine(
        const QByteArray& raw, bool& running, const Inputs& inputs, Actions& out, qint64 nowMs);
    void forget();

    bool banner = false;
    bool loader = false;
    bool waiting = false;
    qint64 promptAtMs = 0;
    qint64 lastRunMs = 0;
    bool started = false;
};
