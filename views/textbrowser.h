#pragma once

#include "serial/ansidecoder.h"

#include <QFont>
#include <QTextBrowser>

#include <functional>

class QMenu;

// The receive area: a read-only view with its own right-click menu and a font chooser.
class TextBrowser : public QTextBrowser {
    Q_OBJECT

public:
    // Asks the user for a font; sets *ok to false when the choice was cancelled.
    using FontChooser = std::function<QFont(bool* ok, const QFont& initial)>;

    explicit TextBrowser(QWidget* parent = nullptr);

    // Replaces the font dialog (tests answer it without a modal loop); null restores the dialog.
    static void setFontChooser(FontChooser chooser);

    // The right-click menu as it would be shown now; the caller owns it.
    QMenu* createContextMenu();

    // Like append(), but the text is never taken as markup; spans colour runs of it.
    void appendPlainText(const QString& text, const QVector<AnsiDecoder::Span>& spans = {});

signals:
    void signalSaveLog();

public slots:
    void soltSelectFont();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};
