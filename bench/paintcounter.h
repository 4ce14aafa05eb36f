#pragma once

#include <QHash>
#include <QObject>
#include <QString>

// Counts the paint and layout-request events each widget gets while it is installed on the
// application: which parts of the window a stream of received lines keeps redrawing.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QObject* parent = nullptr);
    void start();
    void stop();
    // One line per widget, most painted first: "paints layouts Class objectName".
    QString report() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Counts {
        int paints = 0;
        int layouts = 0;
    };
    QHash<QString, Counts> counts;
};
