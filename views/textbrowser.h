#pragma once

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

    // Like append(), but the text is never taken as markup.
    void appendPlainText(const QString& text);

    // Gives the view a new, empty document set up like the old one and returns the old one
    // without a parent and heard by no one. Copying and freeing a full view takes tens of
    // milliseconds: after retireDocument() it can be moved to another thread
    // (QObject::moveToThread), read and freed there.
    QTextDocument* takeDocument();
    // Ends the layout of a taken document, in this thread: its timers, and the fonts of every
    // laid-out line (about 20 ms for 100,000 lines).
    static void retireDocument(QTextDocument* document);

signals:
    void signalSaveLog();
    // After takeDocument(): what listened to the old document listens to this one now.
    void documentReplaced(QTextDocument* document);

public slots:
    void soltSelectFont();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};
