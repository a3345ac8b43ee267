#pragma once

#include <memory>
#include <QList>
#include <QPaintDevice>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QStringList>

namespace quillory::test {

// A piece of text drawn on a RecordingPage: where its baseline starts on the page (in points,
// after the painter's transform) and the font it was drawn in.
struct DrawnText {
    QString text;
    QPointF baseline;
    QString family;
    double points;
    bool bold;
};

// A page of 72 dots to the inch that keeps every piece of text drawn on it, in drawing order,
// so tests can check what a page says and where, without rendering pixels.
class RecordingPage final : public QPaintDevice {
public:
    explicit RecordingPage(QSizeF points = {1000, 1000});
    ~RecordingPage() override;
    QPaintEngine* paintEngine() const override;

    const QList<DrawnText>& drawn() const;
    QStringList texts() const;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    class Engine;
    QSizeF m_size;
    std::unique_ptr<Engine> m_engine;
};

} // namespace quillory::test
