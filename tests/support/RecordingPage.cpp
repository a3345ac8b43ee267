#include "RecordingPage.h"

#include <climits>
#include <QPaintEngine>
#include <QPainter>

namespace quillory::test {

class RecordingPage::Engine final : public QPaintEngine {
public:
    Engine() : QPaintEngine(AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawPolygon(const QPoint*, int, PolygonDrawMode) override {}
    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        const QFont font = item.font();
        drawn.append({item.text(), painter()->transform().map(p), font.family(), font.pointSizeF(),
                      font.bold()});
    }
    Type type() const override { return User; }

    QList<DrawnText> drawn;
};

RecordingPage::RecordingPage(QSizeF points) : m_size(points), m_engine(new Engine) {}

RecordingPage::~RecordingPage() = default;

QPaintEngine* RecordingPage::paintEngine() const {
    return m_engine.get();
}

const QList<DrawnText>& RecordingPage::drawn() const {
    return m_engine->drawn;
}

QStringList RecordingPage::texts() const {
    QStringList out;
    for (const DrawnText& d : m_engine->drawn)
        out.append(d.text);
    return out;
}

int RecordingPage::metric(PaintDeviceMetric metric) const {
    switch (metric) {
    case PdmWidth:
        return qRound(m_size.width());
    case PdmHeight:
        return qRound(m_size.height());
    case PdmWidthMM:
        return qRound(m_size.width() * 25.4 / 72);
    case PdmHeightMM:
        return qRound(m_size.height() * 25.4 / 72);
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return 72;
    case PdmDepth:
        return 32;
    case PdmNumColors:
        return INT_MAX;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return int(devicePixelRatioFScale());
    default:
        return 0;
    }
}

} // namespace quillory::test
