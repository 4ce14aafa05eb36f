// The interface language: a menu of its own, captioned in both languages so either reader finds it.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/language.h"

#include <QActionGroup>
#include <QMenu>

void MainWindow::buildLanguageMenu()
{
    QMenu* menu = ui->functionSetMenu->addMenu(QStringLiteral("语言 / Language"));
    menu->setObjectName(QStringLiteral("languageMenu"));
    languageGroup = new QActionGroup(this);
    const struct {
        Language::Id id;
        const char* name;
        QString caption;
    } languages[] = { { Language::Id::Chinese, "actionChinese", QStringLiteral("中文") },
        { Language::Id::English, "actionEnglish", QStringLiteral("English") } };
    for (const auto& language : languages) {
        QAction* action = languageGroup->addAction(language.caption);
        action->setObjectName(QLatin1String(language.name));
        action->setCheckable(true);
        action->setChecked(language.id == Language::current());
        action->setData(Language::code(language.id));
        menu->addAction(action);
    }
    connect(languageGroup, &QActionGroup::triggered, this, &MainWindow::slotLanguageAction);
}

void MainWindow::slotLanguageAction(QAction* action)
{
    Language::Id id = Language::Id::Chinese;
    Language::fromCode(action->data().toString(), &id);
    Language::store(settings, id);
    Language::apply(id);
}

void MainWindow::retranslateKeptTexts()
{
    if (!languageGroup || !timeLabel)
        return;
    // The line controls' own tips, with the reason a greyed one gives after them.
    for (auto& tip : lineTips)
        tip.second = Language::retranslated(tip.second, QStringLiteral("MainWindow"));
    refreshLineControls(serialPort->isOpen());
    slotUpdateCurrentTime();
    for (QAction* action : languageGroup->actions())
        action->setChecked(action->data().toString() == Language::code(Language::current()));
}
