#pragma once

#include "platform/report/PageSource.h"
#include "platform/report/Template.h"

#include <QPointF>

namespace quillory {

class ProgramFolder;

// One sheet with the outline of every label of a stock, moved by the printer calibration, so
// that the user can hold the printed sheet against a blank sheet of labels and see how far the
// printer is off.
class LabelTestSheet final : public report::PageSource {
public:
    // `stock` is the stock number ("5160"); the sheet's geometry is that of its label template.
    // Throws PlatformError when the template cannot be found or read.
    LabelTestSheet(int stock, QPointF offsetMillimetres, const ProgramFolder& folder);

    QString title() const override;
    QPageLayout pageLayout() const override { return m_template.layout; }
    bool hasPage(int index) override { return index == 0; }
    int pageCount() override { return 1; }
    void drawPage(int index, QPainter& painter) override;

private:
    int m_stock;
    QPointF m_offset; // millimetres
    report::Template m_template;
};

} // namespace quillory
