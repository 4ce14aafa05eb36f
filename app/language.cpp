#include "app/language.h"

#include "app/core/textcatalogue.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolBox>
#include <QTranslator>

static void initTranslations() { Q_INIT_RESOURCE(translations); }

namespace Language {

namespace {

    Id active = Id::Chinese;

    // Looks a text up in its own context, then in any: a few helpers outside a class translate
    // in a context lupdate cannot see.
    class EnglishTranslator : public QTranslator {
    public:
        QString translate(const char* context, const char* source, const char* disambiguation,
            int n) const override
        {
            const QString found = QTranslator::translate(context, source, disambiguation, n);
            if (!found.isNull())
                return found;
            return catalogue().english(QString::fromUtf8(context), QString::fromUtf8(source));
        }
    };

    EnglishTranslator* translator()
    {
        static EnglishTranslator* english = [] {
            initTranslations();
            auto* t = new EnglishTranslator;
            if (!t->load(QStringLiteral(":/translations/quillon_en.qm")))
                qWarning("English catalogue missing");
            return t;
        }();
        return english;
    }

    // Every text of the widget that code or a form set, turned from the language shown. Only
    // what changes is set: a combo box tells its owner about a new current text.
    void retranslateWidget(QWidget* w, bool toEnglish, const QString& context)
    {
        const TextCatalogue& c = catalogue();
        auto turn = [&](const QString& text) { return c.retranslate(text, toEnglish, context); };
        if (w->isWindow() && !w->windowTitle().isEmpty())
            w->setWindowTitle(turn(w->windowTitle()));
        if (!w->toolTip().isEmpty())
            w->setToolTip(turn(w->toolTip()));
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (turn(label->text()) != label->text())
                label->setText(turn(label->text()));
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            if (turn(button->text()) != button->text())
                button->setText(turn(button->text()));
        } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
            box->setTitle(turn(box->title()));
        } else if (auto* menu = qobject_cast<QMenu*>(w)) {
            menu->setTitle(turn(menu->title()));
        } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            edit->setPlaceholderText(turn(edit->placeholderText()));
        } else if (auto* edit = qobject_cast<QTextEdit*>(w)) {
            edit->setPlaceholderText(turn(edit->placeholderText()));
        } else if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) {
            edit->setPlaceholderText(turn(edit->placeholderText()));
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < combo->count(); ++i)
                if (turn(combo->itemText(i)) != combo->itemText(i))
                    combo->setItemText(i, turn(combo->itemText(i)));
        } else if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                tabs->setTabText(i, turn(tabs->tabText(i)));
        } else if (auto* toolBox = qobject_cast<QToolBox*>(w)) {
            for (int i = 0; i < toolBox->count(); ++i)
                toolBox->setItemText(i, turn(toolBox->itemText(i)));
        } else if (auto* spin = qobject_cast<QSpinBox*>(w)) {
            spin->setSuffix(turn(spin->suffix()));
            spin->setPrefix(turn(spin->prefix()));
            spin->setSpecialValueText(turn(spin->specialValueText()));
        }
    }

    void retranslateAction(QAction* action, bool toEnglish, const QString& context)
    {
        const TextCatalogue& c = catalogue();
        const QString text = c.retranslate(action->text(), toEnglish, context);
        if (text != action->text())
            action->setText(text);
        // A tool tip that only repeats the text has followed it already.
        const QString tip = c.retranslate(action->toolTip(), toEnglish, context);
        if (tip != action->toolTip())
            action->setToolTip(tip);
    }

    // A window and everything in it but other windows, each part in the context of the nearest
    // class of ours around it.
    void retranslateTree(QWidget* w, bool toEnglish, QString context)
    {
        const QString own = QString::fromLatin1(w->metaObject()->className());
        if (!own.startsWith(QLatin1Char('Q')))
            context = own;
        retranslateWidget(w, toEnglish, context);
        for (QObject* child : w->children()) {
            if (auto* widget = qobject_cast<QWidget*>(child)) {
                if (!widget->isWindow())
                    retranslateTree(widget, toEnglish, context);
            } else if (auto* action = qobject_cast<QAction*>(child)) {
                retranslateAction(action, toEnglish, context);
            } else if (auto* tray = qobject_cast<QSystemTrayIcon*>(child)) {
                tray->setToolTip(catalogue().retranslate(tray->toolTip(), toEnglish, context));
            }
        }
    }

}

Id current() { return active; }

QString code(Id id) { return id == Id::English ? QStringLiteral("en") : QStringLiteral("zh"); }

bool fromCode(const QString& code, Id* id)
{
    if (code == QLatin1String("en"))
        *id = Id::English;
    else if (code == QLatin1String("zh"))
        *id = Id::Chinese;
    else
        return false;
    return true;
}

Id stored(QSettings* settings)
{
    settings->beginGroup(QStringLiteral("CustomConfig"));
    const QString value = settings->value(QStringLiteral("Language")).toString();
    settings->endGroup();
    Id id = Id::Chinese;
    fromCode(value, &id);
    return id;
}

void store(QSettings* settings, Id id)
{
    settings->beginGroup(QStringLiteral("CustomConfig"));
    settings->setValue(QStringLiteral("Language"), code(id));
    settings->endGroup();
}

const TextCatalogue& catalogue()
{
    static const TextCatalogue table = [] {
        initTranslations();
        TextCatalogue t;
        QFile ts(QStringLiteral(":/translations/quillon_en.ts"));
        if (!ts.open(QIODevice::ReadOnly) || !t.load(ts.readAll()))
            qWarning("English catalogue unreadable");
        return t;
    }();
    return table;
}

QString retranslated(const QString& text, const QString& context)
{
    return catalogue().retranslate(text, active == Id::English, context);
}

void apply(Id id)
{
    if (id == active)
        return;
    const bool toEnglish = id == Id::English;
    if (toEnglish)
        QCoreApplication::installTranslator(translator());
    else
        QCoreApplication::removeTranslator(translator());
    active = id;
    for (QWidget* window : QApplication::topLevelWidgets())
        retranslateTree(window, toEnglish, QString());
    // Windows that keep texts of their own hear of it now, not at the next turn of the loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
}

}
