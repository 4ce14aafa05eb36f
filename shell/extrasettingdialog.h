#pragma once

#include <QByteArray>
#include <QDialog>

namespace Ui {
class ExtraSettingDialog;
}

// Personal settings: how received data is cut into lines, what closing does, and a few switches.
class ExtraSettingDialog : public QDialog {
    Q_OBJECT

public:
    explicit ExtraSettingDialog(QWidget* parent);
    ~ExtraSettingDialog() override;

    // 0 newline, 1 frame time, 2 front delimiter, 3 back delimiter.
    int wrapMode() const;
    // Pause between frames that ends a line, in ms.
    int frameTimeInterval() const;
    QByteArray frontDelimiter() const;
    QByteArray backDelimiter() const;
    // The delimiters as typed.
    QString frontDelimiterText() const;
    QString backDelimiterText() const;
    // Whether the delimiter of the current mode occurs in the hex text of bytes.
    bool delimiterPresent(const QByteArray& bytes) const;
    // The delimiter modes only make sense while hex display is on.
    void setDelimiterWrapEnabled(bool enabled);
    void setMinTray(bool minTray);
    bool isMinTray() const;
    // The live record's file size limit, in MiB (1-4096).
    int liveRecordMaxMB() const;
    void setLiveRecordMaxMB(int mb);
    // Whether a vanished port is waited for and reopened instead of reported.
    bool autoReconnect() const;
    void setAutoReconnect(bool on);
    // The codec of received and sent text, as RxFormat::canonicalCodec names it.
    QByteArray codec() const;
    // An unknown name chooses GBK.
    void setCodec(const QByteArray& name);
    // Whether the text display takes escape sequences as colours.
    bool ansiColor() const;
    void setAnsiColor(bool on);

signals:
    void liveRecordMaxMBChanged(int mb);
    void autoReconnectChanged(bool on);
    void codecChanged(const QByteArray& name);
    void ansiColorChanged(bool on);

public slots:
    void on_wrapRadioButton_clicked(bool checked);
    void on_timeWrapRadioButton_clicked(bool checked);
    void on_frontWrapRadioButton_clicked(bool checked);
    void on_backWrapRadioButton_clicked(bool checked);

private:
    Ui::ExtraSettingDialog* ui = nullptr;
    int mode = 0;
};
