#pragma once

#include "views/core/findcore.h"

#include <QPointer>
#include <QWidget>

class QAction;
class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
class QToolButton;
class TextBrowser;

// Find bar of the receive area. Works on the view alone: it selects matches, marks
// the visible ones and never changes how lines reach the view.
class FindBar : public QWidget {
    Q_OBJECT

public:
    explicit FindBar(TextBrowser* view, QWidget* parent = nullptr);

    // Puts a hidden bar into the view's grid layout, below the view, and its Ctrl+F entry at the
    // end of the menu.
    static FindBar* attach(TextBrowser* view, QGridLayout* layout, QMenu* menu);

    QAction* findAction() const { return action; }
    // True while the bar itself moves the view's selection (that selection is not the user's).
    bool isSelecting() const { return selecting; }
    int matchCount() const { return count; }
    // 1-based number of the selected match, 0 when none is selected.
    int currentMatch() const { return current; }

public slots:
    void slotOpen();
    void slotClose();
    void slotFindNext();
    void slotFindPrevious();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void slotTermChanged();
    void slotDocumentChanged();
    void slotRecount();
    void slotUpdateHighlights();

private:
    TextFinder finder() const;
    int searchStart() const;
    bool matchIsSelected() const;
    void showMatch(const TextFinder::Match& match);
    void updateCountLabel();
    void scheduleRecount();

    QPointer<TextBrowser> view;
    QLineEdit* findLineEdit = nullptr;
    QPushButton* findPreviousButton = nullptr;
    QPushButton* findNextButton = nullptr;
    QCheckBox* findCaseCheckBox = nullptr;
    QLabel* findCountLabel = nullptr;
    QToolButton* findCloseButton = nullptr;
    QAction* action = nullptr;
    QTimer* recountTimer = nullptr;
    QPointer<QWidget> returnFocus;
    bool selecting = false;
    bool followedEnd = false;
    int shownStart = -1;
    int shownLength = 0;
    int count = 0;
    int current = 0;
};
