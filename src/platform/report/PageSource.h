#pragma once

#include <QPageLayout>
#include <QString>

class QPainter;

namespace quillory::report {

// Pages that can be drawn one at a time: the one interface the preview window, the printer and
// PDF output share, so that what is seen is what is printed. A source lays its pages out as
// they are asked for; it need not know its page count before the first page is drawn.
class PageSource {
public:
    virtual ~PageSource() = default;

    // The title of the job (the preview window's caption, the PDF's title).
    virtual QString title() const = 0;
    // The page size, orientation and margins every page of the job is drawn on.
    virtual QPageLayout pageLayout() const = 0;
    // Whether page `index` (from 0) exists; may lay out pages up to it to find out.
    virtual bool hasPage(int index) = 0;
    // The number of pages; lays out the whole job when it has not been laid out yet.
    virtual int pageCount() = 0;
    // Draws page `index` on `painter`, whose coordinates are the full page in points (1/72 in),
    // origin at the paper's top left corner. Throws PlatformError when the data cannot be read.
    virtual void drawPage(int index, QPainter& painter) = 0;
};

} // namespace quillory::report
