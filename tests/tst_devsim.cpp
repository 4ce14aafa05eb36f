#include "devsim/bootloader.h"
#include "devsim/device.h"
#include "devsim/devsimoptions.h"
#include "devsim/logstream.h"
#include "devsimprocess.h"
#include "testdata.h"
#include "tools/core/devicecommand.h"

#include <QSerialPort>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

namespace {

// What a reader got from the simulator: log line numbers in order, and every other byte.
struct Stream {
    QList<qint64> sequences;
    QByteArray other;
};

// Log lines start with '#' and end with CR LF; the rest is answers. An unfinished line is left out.
Stream split(const QByteArray& bytes)
{
    Stream s;
    int i = 0;
    while (i < bytes.size()) {
        if (bytes.at(i) == '#') {
            const int end = bytes.indexOf("\r\n", i);
            if (end < 0)
                break;
            const qint64 seq = LogStream::sequenceOf(bytes.mid(i, end + 2 - i));
            if (seq >= 0) {
                s.sequences << seq;
                i = end + 2;
                continue;
            }
        }
        s.other += bytes.at(i++);
    }
    return s;
}

QList<qint64> upTo(int n)
{
    QList<qint64> numbers;
    for (int i = 1; i <= n; ++i)
        numbers << i;
    return numbers;
}

bool isLinkOrFile(const QString& p) { return QFileInfo(p).isSymLink() || QFileInfo::exists(p); }

using Done = std::function<bool(const QByteArray&)>;

Done haveLines(int n)
{
    return [n](const QByteArray& b) { return split(b).sequences.size() >= n; };
}
// Done once the bytes between the log lines hold `bytes`.
Done otherHas(const QByteArray& bytes)
{
    return [bytes](const QByteArray& b) { return split(b).other.contains(bytes); };
}

QString fromGbk(const QByteArray& b) { return QTextCodec::codecForName("GBK")->toUnicode(b); }

QByteArray command(const char* payloadHex)
{
    return DeviceCommand::commandFrame(QByteArray::fromHex(payloadHex));
}

QByteArray replyOf(quint8 code, const QString& text)
{
    return DeviceCommand::replyFrame(code, 0x00, gbk(text));
}

QByteArray resetReply() { return replyOf(0x02, QStringLiteral("MCU复位中，请稍候...")); }
QByteArray versionReply()
{
    return replyOf(0x01, QStringLiteral("主机版本：SIM-M4 V2.1.0，编译于 2015-06-18"));
}
QByteArray powerOnInfo() { return replyOf(0x03, QStringLiteral("复位信息：上电复位，复位次数 0")); }

QString crLf(const QString& text) { return text + QStringLiteral("\r\n"); }

// A running simulator, its pty opened by the link's path as a serial program would; `got` is read.
struct Board : DevSimProcess {
    ~Board() { close(); }

    bool open(const QStringList& args) { return start(args) && reopen(); }
    bool reopen()
    {
        const int flags = O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
        fd = ::open(QFile::encodeName(linkPath()).constData(), flags);
        hungUp = false;
        termios t;
        if (fd < 0 || ::tcgetattr(fd, &t) != 0)
            return false;
        ::cfmakeraw(&t);
        return ::tcsetattr(fd, TCSANOW, &t) == 0; // TCSANOW: bytes already waiting must stay
    }
    void close() { ::close(std::exchange(fd, -1)); } // -1 when already closed: harmless
    bool write(const QByteArray& bytes)
    {
        return ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    // Reads until `done` holds, the time is up or the other side has gone (`hungUp`).
    bool until(const Done& done, int timeoutMs = 3000) { return readUntil(&got, done, timeoutMs); }
    bool ask(const QByteArray& bytes, const Done& done, int timeoutMs = 3000)
    {
        return write(bytes) && until(done, timeoutMs);
    }
    // Everything that arrives within `ms`, not kept in `got`.
    QByteArray readFor(int ms)
    {
        QByteArray bytes;
        readUntil(&bytes, never, ms);
        return bytes;
    }

    static bool never(const QByteArray&) { return false; }
    QByteArray got;
    bool hungUp = false;

private:
    bool readUntil(QByteArray* into, const Done& done, int timeoutMs)
    {
        for (const QDeadlineTimer deadline(timeoutMs);;) {
            if (done(*into))
                return true;
            if (deadline.hasExpired() || hungUp)
                return false;
            pollfd p { fd, POLLIN, 0 };
            if (::poll(&p, 1, int(deadline.remainingTime())) <= 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                into->append(buffer, int(n));
            else if (n == 0 || errno != EAGAIN)
                hungUp = true;
        }
    }

    int fd = -1;
};

// How the simulator ended after `signal` (0: on its own): "exit 0, link gone" when cleanly.
QString ending(DevSimProcess& sim, int signal)
{
    return QStringLiteral("%1exit %2, link %3")
        .arg(sim.stop(signal) ? "" : "abnormal ")
        .arg(sim.process().exitCode())
        .arg(isLinkOrFile(sim.linkPath()) ? "left" : "gone");
}

// Every option as "name=value", in one line.
QStringList describe(const DevSimOptions& o)
{
    const auto n = [](qint64 v) { return QString::number(v); };
    const auto on = [](bool v) { return QString::fromLatin1(v ? "on" : "off"); };
    return { "link=" + o.linkPath, "record=" + o.recordPath, "interval=" + n(o.intervalMs),
        "lines=" + n(o.linesPerPeriod), "paced=" + on(o.paced), "rate=" + n(o.bytesPerSecond),
        "count=" + n(o.count), "duration=" + n(o.durationMs), "quiet=" + on(o.quiet),
        "echo=" + on(o.echo), "key=" + o.key, "bootOnReset=" + on(o.bootOnReset),
        "silent=" + on(o.silentAfterPrompt), "bootLine=" + n(o.bootLineAfterBytes),
        "downloadQuiet=" + n(o.downloadQuietMs), "bootTimeout=" + n(o.bootTimeoutMs),
        "download=" + o.downloadPath, "color=" + on(o.color), "utf8=" + on(o.utf8),
        "reenumerate=" + on(o.reenumerate) };
}

// A loader's answers `from`..`to` (0: digit 2, 1: key, 2: key again) with pauses; the last reply.
template <class Loader> QString answer(Loader& b, qint64* now, int from, int to)
{
    QString reply;
    for (int i = from; i < to; ++i) {
        b.feed(i == 0 ? QByteArray("2") : BootLoader::defaultKey(), *now += 10);
        reply
            = fromGbk(b.poll(*now += i == 0 ? BootLoader::ChoiceFlushMs : BootLoader::KeyQuietMs));
    }
    return reply;
}

// What a board or boot loader says when it wakes at `at`: nothing before, and no other wake time.
template <class Timed> QByteArray wake(Timed& x, qint64 at)
{
    if (x.nextWakeMs() != at)
        return "wakes at " + QByteArray::number(x.nextWakeMs());
    const QByteArray early = x.poll(at - 1);
    return early.isEmpty() ? x.poll(at) : "early: " + early;
}

// Brings a boot loader from its menu to the file request; returns false on a wrong turn.
bool reachFileRequest(BootLoader& b, qint64* now)
{
    b.enter(*now);
    return answer(b, now, 0, 1) == QStringLiteral("请输入操作密码：")
        && answer(b, now, 1, 3).contains(QStringLiteral("请传送主程序HEX文件..."));
}

} // namespace

class tst_DevSim : public QObject {
    Q_OBJECT

private slots:
    // Many tests run the simulator: outside CTest, which names it, the suite is skipped.
    void initTestCase() { NEED_SIMULATOR(); }

    void logLines_data()
    {
        const auto add = columns<bool, bool>("color", "utf8");
        add("plain GBK", false, false);
        add("coloured GBK", true, false);
        add("plain UTF-8", false, true);
        add("coloured UTF-8", true, true);
    }

    void logLines()
    {
        QFETCH(bool, color);
        QFETCH(bool, utf8);
        LogStream log;
        log.setColor(color);
        log.setUtf8(utf8);
        QCOMPARE(log.nextSequence(), quint64(1));
        QByteArray all = log.nextLine();
        all += log.nextLines(299);
        QCOMPARE(log.nextSequence(), quint64(301));
        QCOMPARE(log.nextLines(0), QByteArray());

        QList<QByteArray> lines = all.split('\n');
        QCOMPARE(lines.takeLast(), QByteArray()); // the empty rest after the last LF
        QCOMPARE(lines.size(), 300);
        QTextCodec* codec = QTextCodec::codecForName(utf8 ? "UTF-8" : "GBK");
        QVERIFY(codec);
        const QRegularExpression level(QStringLiteral("^#\\d{6,} \\[(INFO|WARN|ERR)\\] \\S"));
        const QMap<QString, QByteArray> sgr { { "INFO", "\x1b[0;32m" }, { "WARN", "\x1b[0;33m" },
            { "ERR", "\x1b[0;31m" } };
        QMap<QString, int> levels;
        QByteArray plain;
        for (int i = 0; i < lines.size(); ++i) {
            const QByteArray raw = lines.at(i) + '\n';
            const QByteArray colour = raw.startsWith('\x1b') ? raw.left(7) : QByteArray();
            const QByteArray line = raw.mid(colour.size()).replace("\x1b[0m", "");
            QCOMPARE(raw.endsWith("\x1b[0m\r\n"), color);
            plain += line;
            QVERIFY2(!line.contains('\x1b'), line.constData());
            QCOMPARE(line.indexOf('\r'), line.size() - 2); // one CR, before the LF
            QCOMPARE(LogStream::sequenceOf(line), qint64(i + 1));
            QTextCodec::ConverterState state;
            const QString text = codec->toUnicode(line.constData(), line.size(), &state);
            QCOMPARE(QPair(state.invalidChars, state.remainingChars), QPair(0, 0));
            QVERIFY2(
                !text.contains(QChar::ReplacementCharacter) && !text.contains(QLatin1Char('?')),
                qPrintable(text));
            QCOMPARE(codec->fromUnicode(text), line);
            if (i == 0)
                QVERIFY2(text.contains(QStringLiteral("温度传感器读数")), qPrintable(text));
            // In GBK, a UTF-8 decoder must not read the same bytes as the same text.
            if (text.contains(QStringLiteral("温度传感器读数")))
                QVERIFY(text.contains(QChar(0x2103)) && (QString::fromUtf8(line) == text) == utf8);
            const QRegularExpressionMatch m = level.match(text);
            QVERIFY2(m.hasMatch(), qPrintable(text));
            QCOMPARE(colour, color ? sgr.value(m.captured(1)) : QByteArray()); // green, yellow, red
            if (i < 6) // lines 3 and 6 are WARN and ERR
                QCOMPARE(m.captured(1), QString(i == 2 ? "WARN" : i == 5 ? "ERR" : "INFO"));
            if (i < 100) // the mix is counted over the first hundred
                ++levels[m.captured(1)];
        }
        QCOMPARE(levels, (QMap<QString, int> { { "INFO", 70 }, { "WARN", 20 }, { "ERR", 10 } }));
        QCOMPARE(split(plain).sequences, upTo(300));
        QVERIFY(split(plain).other.isEmpty());
    }

    void sequenceOf_data()
    {
        const auto add = columns<QByteArray, qint64>("bytes", "sequence");
        add("log line", "#000042 [INFO] x\r\n", 42);
        add("without line end", "#7 [ERR] y", 7);
        add("wider than six digits", "#12345678 [WARN] z", 12345678);
        add("zero", "#000000 [INFO]", 0);
        add("no hash", "000042 [INFO] x", -1);
        add("hash alone", "#", -1);
        add("no digits", "# 42 [INFO]", -1);
        add("letter after digits", "#42x [INFO]", -1);
        add("digits without blank", "#42", -1);
        add("too many digits", "#12345678901234567890 x", -1);
        add("empty", QByteArray(), -1);
        add("echo bytes", "hello\xd6\xd0", -1);
    }

    void sequenceOf()
    {
        QFETCH(QByteArray, bytes);
        QTEST(LogStream::sequenceOf(bytes), "sequence");
    }

    void commandReplies_data()
    {
        const auto add = columns<bool, QByteArray, QByteArray>("echo", "input", "answer");
        const QByteArray binary("\x00\xff\r\n\x7e\x7d", 6);
        const QByteArray chinese("\xd6\xd0\xce\xc4"); // 中文 in GBK
        const QByteArray version = versionReply(), info = powerOnInfo();
        QByteArray badSum = command("01");
        badSum[badSum.size() - 1] = char(badSum.at(badSum.size() - 1) ^ 0x10);
        QByteArray badLength = command("0102");
        badLength[4] = char(badLength.at(4) + 1);

        add("echo text", true, "AT\r\n", "AT\r\n");
        add("echo binary with NUL", true, binary, binary);
        add("echo GBK", true, chinese, chinese);
        add("echo nothing", true, QByteArray(), QByteArray());
        add("silent text", false, "AT\r\n", QByteArray());
        add("silent binary", false, binary, QByteArray());
        add("host version", true, command("01"), version);
        add("reset", true, command("02"), resetReply());
        add("reset information", true, command("03"), info);
        add("reset, then its information", true, command("02") + command("03"),
            resetReply() + replyOf(0x03, QStringLiteral("复位信息：软件复位，复位次数 1")));
        add("free payload described", true, command("01020A"),
            replyOf(0x01, QStringLiteral("收到数据 3 字节：01 02 0A")));
        add("empty payload", true, command(""), replyOf(0x00, QStringLiteral("收到数据 0 字节：")));
        add("long payload described in part", true, DeviceCommand::commandFrame(sampleFile(20)),
            replyOf(0x00,
                QStringLiteral(
                    "收到数据 20 字节：00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ...")));
        add("text around a frame echoed", true, "ab" + command("01") + "cd", "ab" + version + "cd");
        add("two frames back to back", true, command("01") + command("03"), version + info);
        add("a start byte in text", true, "\xAA\x41", "\xAA\x41");
        add("a start byte before a frame", true, "\xAA" + command("01"), "\xAA" + version);
        add("bad checksum echoed", true, badSum, badSum);
        add("bad length field echoed", true, badLength, badLength);
        add("CR LF behind a frame belongs to it", true, command("01") + "\r\n", version);
        add("LF behind a frame belongs to it", true, command("01") + "\n", version);
        add("frames with line ends back to back", true,
            command("01") + "\r\n" + command("03") + "\r\n", version + info);
        add("a second line end is echoed", true, command("01") + "\r\n\r\n", version + "\r\n");
        add("text behind a frame is echoed", true, command("01") + "ok\r\n", version + "ok\r\n");
        add("line end behind a bad frame is echoed", true, badSum + "\r\n", badSum + "\r\n");
        add("line end alone is echoed", true, "\r\n", "\r\n");
        add("without echo only answers", false, "ab" + command("01") + "\xAA" + "cd", version);
    }

    void commandReplies()
    {
        QFETCH(bool, echo);
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, answer);
        Device whole, pieces;
        QVERIFY(whole.echo()); // echo is the default
        whole.setEcho(echo);
        pieces.setEcho(echo);
        QCOMPARE(whole.feed(input), answer);
        QVERIFY(!whole.inBootLoader());
        // Pieces of any size give the same answer as the whole.
        QByteArray got;
        for (char c : input)
            got += pieces.feed(QByteArray(1, c));
        QCOMPARE(got, answer);
    }

    void unfinishedFrameTurnsIntoEcho()
    {
        Device dev;
        QCOMPARE(dev.feed("\xAA\x75\x80", 1000), QByteArray());
        QCOMPARE(wake(dev, 1000 + Device::FrameTimeoutMs), QByteArray("\xAA\x75\x80"));
        QCOMPARE(dev.nextWakeMs(), qint64(-1));
        Device silent;
        silent.setEcho(false);
        silent.feed("\xAA\x75", 0);
        QCOMPARE(silent.poll(Device::FrameTimeoutMs), QByteArray());
    }

    void logKeepsStillAfterReply()
    {
        Device dev;
        QVERIFY(!dev.logPaused(0));
        QVERIFY(!dev.feed(command("01"), 500).isEmpty());
        QVERIFY(dev.logPaused(500) && dev.logPaused(500 + Device::ReplyGapMs - 1));
        QCOMPARE(dev.nextWakeMs(), qint64(500 + Device::ReplyGapMs));
        dev.poll(500 + Device::ReplyGapMs);
        QVERIFY(!dev.logPaused(500 + Device::ReplyGapMs));
        QCOMPARE(dev.nextWakeMs(), qint64(-1));
    }

    void resetEntersBootLoader()
    {
        Device plain;
        plain.feed(command("02"), 0);
        QCOMPARE(plain.poll(Device::ResetDelayMs), QByteArray());
        QVERIFY(!plain.inBootLoader());
        QCOMPARE(plain.resets(), 1);

        Device dev;
        dev.setBootOnReset(true);
        QCOMPARE(dev.feed(command("02"), 1000), resetReply());
        QVERIFY(!dev.inBootLoader());
        QVERIFY(dev.logPaused(1000 + Device::ReplyGapMs)); // restarting: no log
        const QString banner = fromGbk(wake(dev, 1000 + Device::ResetDelayMs));
        QVERIFY(banner.startsWith(QStringLiteral("\r\nCopyright (C) 2015 Brenlow\r\n")));
        QVERIFY(dev.inBootLoader() && dev.logPaused(5000));
        // The loader owns the port now: no echo, no command replies.
        QCOMPARE(dev.feed("hello" + command("01"), 1200), QByteArray());
    }

    void bootLoaderDownload()
    {
        QTemporaryDir dir;
        BootLoader::Settings settings;
        settings.quietMs = 500;
        settings.downloadPath = dir.filePath(QStringLiteral("got.bin"));
        BootLoader b(settings);
        QVERIFY(!b.isActive());

        const QString menu = fromGbk(b.enter(0));
        const QStringList lines = menu.split(QStringLiteral("\r\n"));
        const int copyright = lines.indexOf(QStringLiteral("Copyright (C) 2015 Brenlow"));
        QVERIFY(copyright >= 0 && copyright < lines.indexOf(BootLoader::identification()));
        QVERIFY(BootLoader::identification().contains(QStringLiteral("boot-"))
            && BootLoader::identification().contains(QStringLiteral("m4")));
        QVERIFY(!menu.contains(QStringLiteral("Boot")));
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^========="))).size(), 2);
        QCOMPARE(lines.last(), QStringLiteral(">")); // the prompt has no line end
        QCOMPARE(b.nextWakeMs(), qint64(BootLoader::DefaultIdleTimeoutMs)); // then it gives up

        // The type digit comes twice; the second is flushed.
        QCOMPARE(
            fromGbk(b.feed("22", 10)), QStringLiteral("\r\n已选择：2 - 下载主程序 HEX文件\r\n"));
        QCOMPARE(b.feed("2", 20), QByteArray());
        QCOMPARE(wake(b, 10 + BootLoader::ChoiceFlushMs), gbk(QStringLiteral("请输入操作密码：")));

        // Each password ends when the line goes quiet, in however many pieces it came.
        const QByteArray key = BootLoader::defaultKey();
        QCOMPARE(b.feed(key.left(7), 200), QByteArray());
        QCOMPARE(b.feed(key.mid(7), 250), QByteArray());
        QCOMPARE(wake(b, 250 + BootLoader::KeyQuietMs),
            QByteArray(key.size(), '*') + "\r\n" + gbk(QStringLiteral("请再次输入密码：")));
        b.feed(key, 400);
        QCOMPARE(fromGbk(b.poll(400 + BootLoader::KeyQuietMs)),
            QString(key.size(), QLatin1Char('*'))
                + QStringLiteral("\r\n密码验证通过\r\n请传送主程序HEX文件...\r\n>>\r\n"));
        // Waits for the file a while, not for good.
        QCOMPARE(b.nextWakeMs(), 400 + BootLoader::KeyQuietMs + BootLoader::DefaultIdleTimeoutMs);

        const QByteArray file = sampleFile(3 * BootLoader::ProgressBytes + 100);
        QByteArray progress;
        qint64 now = 1000;
        for (int at = 0; at < file.size(); at += 512, now += 50)
            progress += b.feed(file.mid(at, 512), now);
        now -= 50;
        QCOMPARE(progress, QByteArray(">>>\r\n>>>\r\n>>>\r\n"));
        QCOMPARE(fromGbk(wake(b, now + 500)),
            QStringLiteral("\r\n接收完成，共 %1 字节\r\n文件下载成功！\r\n").arg(file.size()));
        QCOMPARE(b.downloads(), 1);
        QVERIFY(b.lastDownload() == file);
        QVERIFY(fileBytes(settings.downloadPath) == file);
        QVERIFY(!b.saveFailed() && b.isActive());
        QCOMPARE(
            fromGbk(wake(b, now + 500 + BootLoader::LeaveDelayMs)), crLf(BootLoader::leaveLine()));
        QVERIFY(!b.isActive());
    }

    void bootLoaderTakesOneDigit()
    {
        BootLoader b;
        b.enter(0);
        QCOMPARE(b.feed("x70\r\n", 0), QByteArray()); // not a menu item
        QCOMPARE(b.choice(), '\0');
        QVERIFY(fromGbk(b.feed("53", 5)).contains(QStringLiteral("5 - 擦除用户参数扇区")));
        QCOMPARE(b.choice(), '5');
    }

    void bootLoaderRejectsKey_data()
    {
        const auto add = columns<QByteArray, QByteArray>("first", "second");
        const QByteArray key = BootLoader::defaultKey();
        add("first key wrong", "nope", QByteArray());
        add("first key too long", key + "X", QByteArray());
        add("first key lower case", key.toLower(), QByteArray());
        add("second key wrong", key, key.left(39));
    }

    void bootLoaderRejectsKey()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        BootLoader b;
        b.enter(0);
        b.feed("1", 0);
        b.poll(BootLoader::ChoiceFlushMs);
        b.feed(first, 200);
        qint64 now = 200 + BootLoader::KeyQuietMs;
        QString answer = fromGbk(b.poll(now));
        if (!second.isEmpty()) {
            QVERIFY(answer.endsWith(QStringLiteral("请再次输入密码：")));
            b.feed(second, now += 100);
            answer = fromGbk(b.poll(now += BootLoader::KeyQuietMs));
        }
        QVERIFY2(
            answer.endsWith(QStringLiteral("\r\n密码错误！升级已取消\r\n")), qPrintable(answer));
        QCOMPARE(b.feed("22", now), QByteArray());
        QCOMPARE(fromGbk(b.poll(now + BootLoader::LeaveDelayMs)), crLf(BootLoader::leaveLine()));
        QVERIFY(!b.isActive());
        QCOMPARE(b.downloads(), 0);
    }

    void bootLoaderSilentAfterPrompt()
    {
        BootLoader::Settings settings;
        settings.silentAfterPrompt = true;
        BootLoader b(settings);
        qint64 now = 0;
        QVERIFY(reachFileRequest(b, &now));
        QByteArray out;
        for (int i = 0; i < 40; ++i)
            out += b.feed(QByteArray(512, 'f'), now += 50);
        QCOMPARE(out, QByteArray(">>>\r\n")); // one prompt only
        QCOMPARE(b.poll(now + settings.quietMs), QByteArray()); // and no result
        QVERIFY(!b.isActive());
        QCOMPARE(b.lastDownload().size(), 40 * 512);
    }

    void bootLoaderRestartsMidTransfer()
    {
        BootLoader::Settings settings;
        settings.bootLineAfterBytes = 5000;
        settings.quietMs = 300;
        BootLoader b(settings);
        qint64 now = 0;
        QVERIFY(reachFileRequest(b, &now));
        const QByteArray file = sampleFile(20000);
        QByteArray out;
        int at = 0;
        for (; !out.contains("Boot"); at += 512) {
            QVERIFY(at < file.size());
            out += b.feed(file.mid(at, 512), now += 50);
        }
        QCOMPARE(at, 5120); // the restart comes with the piece that crossed the mark
        QVERIFY(fromGbk(out).endsWith(QStringLiteral("\r\n") + crLf(BootLoader::restartLine())));
        QVERIFY(BootLoader::restartLine().contains(QStringLiteral("Boot")));
        QVERIFY(b.lastDownload() == file.left(5000));
        // The rest of the transfer is ignored until the line is quiet.
        QCOMPARE(b.feed(file.mid(at, 512), now += 50), QByteArray());
        QCOMPARE(fromGbk(wake(b, now + 300)), crLf(BootLoader::leaveLine()));
        QVERIFY(!b.isActive());
    }

    void bootLoaderSaveFailure()
    {
        BootLoader::Settings settings;
        settings.downloadPath = QStringLiteral("/nonexistent/got.bin");
        BootLoader b(settings);
        qint64 now = 0;
        QVERIFY(reachFileRequest(b, &now));
        b.feed("data", now += 10);
        QVERIFY(fromGbk(b.poll(now + settings.quietMs)).contains(QStringLiteral("文件下载成功！")));
        QVERIFY(b.saveFailed());
    }

    void bootLoaderGivesUp_data()
    {
        // answers given before nothing more comes; midLine: the last prompt had no line end
        const auto add = columns<int, bool>("answers", "midLine");
        add("menu", 0, true);
        add("password", 1, true);
        add("password again", 2, true);
        add("file", 3, false);
    }

    void bootLoaderGivesUp()
    {
        QFETCH(int, answers);
        QFETCH(bool, midLine);
        BootLoader::Settings settings;
        settings.idleTimeoutMs = 2000;
        BootLoader b(settings);
        qint64 now = 1000;
        b.enter(now);
        const QString reply = answer(b, &now, 0, answers);
        if (answers == 3)
            QVERIFY(reply.contains(QStringLiteral("请传送主程序HEX文件...")));
        // Bytes that are no answer do not keep the menu waiting.
        if (answers == 0)
            QCOMPARE(b.feed("x\r\n", now + 1500), QByteArray());
        QCOMPARE(b.nextWakeMs(), now + settings.idleTimeoutMs);
        QCOMPARE(b.poll(now + settings.idleTimeoutMs - 1), QByteArray());
        QVERIFY(b.isActive());
        now += settings.idleTimeoutMs;
        QCOMPARE(fromGbk(b.poll(now)),
            (midLine ? QStringLiteral("\r\n") : QString()) + crLf(BootLoader::giveUpLine()));
        QVERIFY(!BootLoader::giveUpLine().contains(QStringLiteral("Boot")));
        QCOMPARE(b.feed("2", now + 10), QByteArray());
        QCOMPARE(fromGbk(b.poll(now + BootLoader::LeaveDelayMs)), crLf(BootLoader::leaveLine()));
        QVERIFY(!b.isActive());
        QCOMPARE(b.downloads(), 0);
    }

    void resetObeyedInBootLoader_data()
    {
        // split: the frame arrives cut after this many bytes; 0: whole
        const auto add = columns<QString, int>("stage", "split");
        add("menu", "menu", 0);
        add("menu, frame in two pieces", "menu", 5);
        add("password", "key", 0);
        add("password, frame in two pieces", "key", 13);
        add("receiving the file", "file", 0);
        add("receiving the file, frame in two pieces", "file", 1);
    }

    void resetObeyedInBootLoader()
    {
        QFETCH(QString, stage);
        QFETCH(int, split);
        Device dev;
        dev.setBootOnReset(true);
        qint64 now = 1000;
        dev.feed(command("02"), now);
        QVERIFY(!dev.poll(now += Device::ResetDelayMs).isEmpty());
        QVERIFY(dev.inBootLoader());
        if (stage != QLatin1String("menu"))
            QCOMPARE(answer(dev, &now, 0, 1), QStringLiteral("请输入操作密码："));
        if (stage == QLatin1String("file")) {
            answer(dev, &now, 1, 3);
            QCOMPARE(dev.feed(sampleFile(1000), now += 10), QByteArray());
        } else if (stage == QLatin1String("key")) {
            dev.feed("PLUMB", now += 10); // half a password
        }
        const QByteArray reset = command("02") + "junk";
        QByteArray out = dev.feed(split ? reset.left(split) : reset, now += 10);
        if (split)
            out += dev.feed(reset.mid(split), now += 10);
        QCOMPARE(out, resetReply());
        QVERIFY(!dev.inBootLoader());
        QCOMPARE(dev.resets(), 2);
        QCOMPARE(dev.bootLoader().downloads(), 0);
        // It restarts into the loader again, as after the first reset.
        const QString banner = fromGbk(wake(dev, now + Device::ResetDelayMs));
        QVERIFY2(banner.startsWith(QStringLiteral("\r\nCopyright (C) 2015 Brenlow\r\n")),
            qPrintable(banner));
        QVERIFY(banner.endsWith(QStringLiteral("=\r\n>")));
        QVERIFY(dev.inBootLoader());
    }

    void options_data()
    {
        // expected: the options unlike the defaults, or "error: " and what the message names
        const auto add = columns<QStringList, QString>("args", "expected");
        add("defaults", {}, "");
        add("period and lines", { "--interval", "50", "--lines", "3" }, "interval=50 lines=3");
        add("rate zero is full speed", { "--rate", "0" }, "paced=on");
        add("rate with equals sign", { "--rate=115200" }, "paced=on rate=115200");
        add("count, fractional duration", { "--count", "10", "--duration", "0.25" },
            "count=10 duration=250");
        add("count zero", { "--count", "0" }, "count=0");
        add("quiet, no echo, link, record",
            { "--quiet", "--no-echo", "--link", "/x/tty", "--record", "r.bin" },
            "link=/x/tty record=r.bin quiet=on echo=off");
        add("everything",
            { "--boot-on-reset", "--key", "K1", "--color", "--utf8", "--reenumerate",
                "--silent-after-prompt", "--boot-line-mid-transfer", "4096", "--download-quiet",
                "300", "--download-file", "got.bin", "--boot-timeout", "1500" },
            "key=K1 bootOnReset=on silent=on bootLine=4096 downloadQuiet=300 bootTimeout=1500 "
            "download=got.bin color=on utf8=on reenumerate=on");
        add("restart at once", { "--boot-line-mid-transfer=0" }, "bootLine=0");
        add("interval zero", { "--interval", "0" }, "error: --interval");
        add("interval not a number", { "--interval", "1s" }, "error: --interval");
        add("interval beyond int", { "--interval", "99999999999" }, "error: --interval");
        add("lines zero", { "--lines", "0" }, "error: --lines");
        add("negative rate", { "--rate", "-1" }, "error: --rate");
        add("negative count", { "--count", "-5" }, "error: --count");
        add("zero duration", { "--duration", "0" }, "error: --duration");
        add("duration not a number", { "--duration", "soon" }, "error: --duration");
        add("empty link", { "--link", "" }, "error: --link");
        add("empty record", { "--record", "" }, "error: --record");
        add("missing value", { "--interval" }, "error: interval");
        add("unknown option", { "--baud", "9600" }, "error: baud");
        add("stray argument", { "/dev/ttyS0" }, "error: /dev/ttyS0");
        add("empty key", { "--key", "" }, "error: --key");
        add("zero download quiet", { "--download-quiet", "0" }, "error: --download-quiet");
        add("negative restart point", { "--boot-line-mid-transfer", "-1" },
            "error: --boot-line-mid-transfer");
        add("zero boot timeout", { "--boot-timeout", "0" }, "error: --boot-timeout");
        add("empty download file", { "--download-file", "" }, "error: --download-file");
    }

    void options()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, expected);
        DevSimOptions o, defaults;
        QString message;
        const auto parsed
            = DevSimOptions::parse(QStringList { "quillon-devsim" } + args, &o, &message);
        if (expected.startsWith(QLatin1String("error: "))) {
            QCOMPARE(parsed, DevSimOptions::Parse::Error);
            QVERIFY2(message.contains(expected.mid(7)), qPrintable(message));
            return;
        }
        QCOMPARE(parsed, DevSimOptions::Parse::Ok);
        defaults.linkPath = DevSimOptions::defaultLinkPath();
        if (args.isEmpty()) // what the board does unless told otherwise
            QCOMPARE(describe(defaults).join(' '),
                QStringLiteral("link=%1 record= interval=1000 lines=1 paced=off rate=0 count=-1 "
                               "duration=-1 quiet=off echo=on key=%2 bootOnReset=off silent=off "
                               "bootLine=-1 downloadQuiet=800 bootTimeout=%3 download= color=off "
                               "utf8=off reenumerate=off")
                    .arg(defaults.linkPath, QString::fromLatin1(BootLoader::defaultKey()))
                    .arg(BootLoader::DefaultIdleTimeoutMs));
        QStringList differs = describe(o);
        for (const QString& d : describe(defaults))
            differs.removeOne(d);
        QCOMPARE(differs.join(' '), expected);
    }

    void defaultLink_data()
    {
        const auto add = columns<QByteArray, QString>("runtimeDir", "link");
        add("runtime folder", "/run/user/1000", "/run/user/1000/quillon-devsim");
        add("trailing slash", "/run/user/7/", "/run/user/7/quillon-devsim");
        add("unset", QByteArray(), "/tmp/quillon-devsim");
    }

    void defaultLink()
    {
        QFETCH(QByteArray, runtimeDir);
        const QByteArray old = qgetenv("XDG_RUNTIME_DIR"); // null when unset
        const auto set = [](const QByteArray& value) {
            value.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", value);
        };
        set(runtimeDir);
        const QString link = DevSimOptions::defaultLinkPath();
        set(old);
        QTEST(link, "link");
    }

    // The running simulator
    void help()
    {
        QProcess p;
        p.start(DevSimProcess::program(), { "--help" });
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        QVERIFY(out.contains(QStringLiteral("PTY <path>")));
        // Every option, and how the board talks: colours, boot loader, command frames.
        for (const char* text : { "--link", "--interval", "--lines", "--rate", "--count",
                 "--duration", "--quiet", "--record", "--no-echo", "--help", "--boot-on-reset",
                 "--key", "--download-quiet", "--download-file", "--silent-after-prompt",
                 "--boot-line-mid-transfer", "--boot-timeout", "--color", "--utf8", "--reenumerate",
                 "ESC[0;32m", "Copyright (C) 2015 Brenlow", "AA 75 80", "55 7A 80" })
            QVERIFY2(out.contains(QLatin1String(text)), text);
    }

    void startFailures_data()
    {
        const auto add = columns<bool, QStringList, int>("fileAtLink", "args", "exitCode");
        add("regular file at the link", true, {}, 1);
        add("link folder missing", false, { "--link", "<dir>/none/tty" }, 1);
        add("record folder missing", false, { "--record", "<dir>/none/sent.bin" }, 1);
        add("bad option", false, { "--lines", "-1" }, 2);
        add("download folder missing", false, { "--download-file", "<dir>/none/got.bin" }, 1);
    }

    void startFailures()
    {
        QFETCH(bool, fileAtLink);
        QFETCH(QStringList, args);
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttySIM0"));
        QFile f(link);
        QVERIFY(!fileAtLink || (f.open(QIODevice::WriteOnly) && f.write("keep me") == 7));
        f.close();
        QProcess p;
        p.start(DevSimProcess::program(),
            QStringList { "--link", link }
                + args.replaceInStrings(QStringLiteral("<dir>"), dir.path()));
        QVERIFY(p.waitForFinished(5000));
        QTEST(p.exitCode(), "exitCode");
        QVERIFY(p.readAllStandardOutput().isEmpty()); // no PTY line on failure
        QVERIFY(!p.readAllStandardError().isEmpty());
        QVERIFY(!QFileInfo(link).isSymLink()); // no link made, and the file not replaced
        QCOMPARE(QFileInfo::exists(link), fileAtLink);
        QCOMPARE(fileBytes(link), QByteArray(fileAtLink ? "keep me" : ""));
    }

    void streamSurvivesReopenAndIsRecorded()
    {
        Board b;
        const QString record = b.filePath(QStringLiteral("sent.bin"));
        QVERIFY2(
            b.open({ "--interval", "30", "--lines", "2", "--count", "20", "--record", record }),
            qPrintable(b.errors()));
        QCOMPARE(QFileInfo(b.linkPath()).symLinkTarget(), b.ptyPath());
        QVERIFY(b.until(haveLines(5)));
        // The program closes its port for a while; the board goes on and nothing may be lost.
        b.close();
        QTest::qWait(150);
        QVERIFY(b.reopen());
        QVERIFY(b.until(haveLines(20), 5000));

        // Answers come between whole lines, never inside one.
        const QByteArray payload("ping 123 \xd6\xd0\xce\xc4 \x01\x02\xff");
        QVERIFY(b.ask(payload, otherHas(payload)));
        b.got += b.readFor(200);
        const Stream s = split(b.got);
        QCOMPARE(s.sequences, upTo(20)); // --count ends the log
        QCOMPARE(s.other, payload);
        QVERIFY(b.got.endsWith("\r\n") || b.got.endsWith(payload));
        QCOMPARE(ending(b, SIGTERM), QStringLiteral("exit 0, link gone"));
        QCOMPARE(fileBytes(record), b.got);
    }

    void serialPortReopens()
    {
        DevSimProcess sim;
        QVERIFY(sim.start({ "--interval", "20" }));
        QSerialPort port(sim.linkPath());
        port.setBaudRate(115200);
        QByteArray got;
        QObject::connect(&port, &QSerialPort::readyRead, [&] { got += port.readAll(); });
        const auto lines = [&] { return split(got).sequences.size(); };
        // Open and close the way the program does, three times; the log carries on without a gap.
        for (int round = 1; round <= 3; ++round) {
            QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
            QTRY_VERIFY_WITH_TIMEOUT(lines() >= round * 5, 5000);
            port.close();
            QTest::qWait(100); // closed a while, as a user would leave it
        }
        QVERIFY(port.open(QIODevice::ReadWrite));
        QVERIFY(port.write("x") == 1 && port.waitForBytesWritten(1000));
        QTRY_VERIFY_WITH_TIMEOUT(lines() >= 20, 5000);
        QCOMPARE(split(got).sequences, upTo(split(got).sequences.size())); // no gap
        port.close();
        QCOMPARE(ending(sim, SIGTERM), QStringLiteral("exit 0, link gone"));
    }

    void batchesPerPeriod()
    {
        Board b;
        QVERIFY(b.open({ "--interval", "2000", "--lines", "3" }));
        QVERIFY(b.until(haveLines(3)));
        b.got += b.readFor(300);
        QCOMPARE(split(b.got).sequences.size(), 3); // the next batch is a period away
        QVERIFY(b.until(haveLines(6), 4000));
        QCOMPARE(split(b.got).sequences, upTo(split(b.got).sequences.size())); // no gap
    }

    void nothingLost_data()
    {
        // lines: the log lines that come; payload: sent in pieces meanwhile; answer: comes back
        const auto add = columns<QStringList, int, QByteArray, int, QByteArray>(
            "args", "lines", "payload", "piece", "answer");
        // More than one pty buffer's worth, so the answer must wait for room instead of dropping.
        const QByteArray file = sampleFile(20000);
        add("quietOnlyAnswers: quiet", { "--quiet" }, 0, file, 1000, file);
        add("quietOnlyAnswers: quiet without echo", { "--quiet", "--no-echo" }, 0, file, 1000, {});
        add("quietOnlyAnswers: count zero without echo", { "--count", "0", "--no-echo" }, 0, file,
            1000, {});
        add("fullSpeed: loses nothing", { "--rate", "0", "--count", "5000", "--no-echo" }, 5000,
            QByteArray(), 1, {});
        // Typed while the log streams at full speed: every answer must wait for the line in flight.
        const QByteArray piece("AT+TEST \xd6\xd0\xce\xc4 ");
        add("fullSpeed: answers between lines", { "--rate", "0", "--count", "3000" }, 3000,
            piece.repeated(40), int(piece.size()), piece.repeated(40));
        // Commands, the second behind text, sent while the log runs: replies come between lines.
        const QByteArray first = command("01");
        add("answersCommandsBetweenLines", { "--interval", "20", "--count", "40" }, 40,
            first + "ab" + command("03"), int(first.size()), versionReply() + "ab" + powerOnInfo());
    }

    void nothingLost()
    {
        QFETCH(QStringList, args);
        QFETCH(int, lines);
        QFETCH(QByteArray, payload);
        QFETCH(int, piece);
        QFETCH(QByteArray, answer);
        Board b;
        QVERIFY(b.open(args));
        if (lines == 0)
            QCOMPARE(b.readFor(300), QByteArray());
        else if (payload.isEmpty()) // read slowly at first so the simulator meets a full pty
            QTest::qWait(300);
        for (int at = 0; at < payload.size(); at += piece) {
            QVERIFY(b.write(payload.mid(at, piece)));
            b.got += b.readFor(5);
        }
        // Without a log, all that comes is the answer: the file may hold what looks like a line.
        const auto answers = [&](const QByteArray& got) { return lines ? split(got).other : got; };
        QVERIFY(b.until(
            [&](const QByteArray& got) {
                return split(got).sequences.size() >= lines && answers(got).size() >= answer.size();
            },
            lines > 1000 ? 20000 : 5000)); // thousands of lines at full speed take a while
        b.got += b.readFor(300);
        if (lines > 0)
            QCOMPARE(split(b.got).sequences, upTo(lines));
        QCOMPARE(answers(b.got), answer);
    }

    void signalWaitsForReader()
    {
        Board b;
        const QString record = b.filePath(QStringLiteral("sent.bin"));
        QVERIFY(b.open({ "--rate", "0", "--record", record }));
        // Nobody reads: the pty fills up and the simulator's own queue too.
        QTest::qWait(300);
        ::kill(pid_t(b.process().processId()), SIGTERM);
        QVERIFY(!b.until(Board::never, 5000) && b.hungUp);
        QCOMPARE(ending(b, 0), QStringLiteral("exit 0, link gone"));

        // What was in the pty reached the reader; what was only queued was not sent nor recorded.
        QVERIFY(b.got.size() > 1000);
        QCOMPARE(fileBytes(record), b.got);
        QCOMPARE(split(b.got).sequences, upTo(split(b.got).sequences.size())); // no gap
        QVERIFY(split(b.got).other.isEmpty());
    }

    void pacedRate()
    {
        Board b;
        QVERIFY(b.open({ "--rate", "4000" }));
        QVERIFY(b.until([](const QByteArray& got) { return !got.isEmpty(); }));
        QElapsedTimer timer;
        timer.start();
        const QByteArray got = b.readFor(1500);
        const double expected = 4.0 * timer.elapsed(); // 4000 bytes a second
        // Pacing never runs ahead by more than a line; a busy machine may make it lag.
        QVERIFY2(got.size() <= expected + 200 && got.size() >= expected * 0.3,
            qPrintable(QString::number(got.size())));
    }

    void endsCleanly_data()
    {
        // signal 0: none, it ends by itself; staleLink: a link left by an earlier run
        const auto add = columns<QStringList, int, bool>("args", "signal", "staleLink");
        const QStringList streaming { "--interval", "10" };
        add("SIGTERM", streaming, int(SIGTERM), false);
        add("SIGINT", streaming, int(SIGINT), false);
        add("SIGHUP", streaming, int(SIGHUP), false);
        add("after its duration", { "--quiet", "--duration", "0.5" }, 0, false);
        add("replacing a stale link", { "--quiet" }, int(SIGTERM), true);
    }

    void endsCleanly()
    {
        QFETCH(QStringList, args);
        QFETCH(int, signal);
        QFETCH(bool, staleLink);
        Board b;
        if (staleLink)
            QVERIFY(QFile::link(QStringLiteral("/nonexistent/pts/99"), b.linkPath()));
        QElapsedTimer timer;
        timer.start();
        QVERIFY(b.open(args));
        QVERIFY(b.ptyPath().startsWith(QStringLiteral("/dev/")));
        QCOMPARE(QFileInfo(b.linkPath()).symLinkTarget(), b.ptyPath());
        if (!args.contains(QStringLiteral("--quiet")))
            QVERIFY(!b.readFor(100).isEmpty()); // an open port must not keep it from ending
        QCOMPARE(ending(b, signal), QStringLiteral("exit 0, link gone"));
        QVERIFY(signal != 0 || timer.elapsed() >= 400);
        const auto left = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System;
        QCOMPARE(QDir(b.folder()).entryList(left), QStringList());
    }

    void resetReenumerates()
    {
        Board b;
        QVERIFY(b.open({ "--reenumerate", "--interval", "50" }));
        QVERIFY(b.until(haveLines(2)));
        // The reply still comes; then the port goes.
        QVERIFY(b.ask(command("02"), otherHas(resetReply())));
        QVERIFY(!b.until(Board::never) && b.hungUp);
        b.close();
        QVERIFY(!isLinkOrFile(b.linkPath()));
        // About a second later: a new pty (maybe with the freed number) behind the same link.
        QVERIFY(b.waitForPty());
        QCOMPARE(QFileInfo(b.linkPath()).symLinkTarget(), b.ptyPath());
        QVERIFY(b.reopen());
        b.got.clear();
        QVERIFY(b.until(haveLines(2)));
        QCOMPARE(ending(b, SIGTERM), QStringLiteral("exit 0, link gone"));
    }
};

QTEST_GUILESS_MAIN(tst_DevSim)
#include "tst_devsim.moc"
