// The pages of one document, rendered with Poppler, one under the other in a scroll area.
//
// Poppler reads bytes: SetDocumentBytes hands it the document as the host holds it in memory
// (Host::DisplayBytes) and drops every rendered page. A page is rendered only when it is painted,
// that is when some of it is visible; rendered pages are kept until the zoom or the document
// changes.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QScrollArea>
#include <QSizeF>
#include <QVector>

#include <memory>

namespace Poppler {
class Document;
}

namespace tesser::app {

class PageView : public QScrollArea {
    Q_OBJECT
public:
    explicit PageView(QWidget* parent = nullptr);
    ~PageView() override;

    // False when Poppler cannot read the bytes (the view then shows no pages).
    bool SetDocumentBytes(const QByteArray& bytes);

    int PageCount() const { return sizes_.size(); }
    // The 0-based page at the top of the viewport.
    int CurrentPage() const;
    void GoToPage(int index);

    double Zoom() const { return zoom_; }
    void SetZoom(double zoom); // 1.0: 100 %, clamped to 0.1..8
    void ZoomIn() { SetZoom(zoom_ * 1.25); }
    void ZoomOut() { SetZoom(zoom_ / 1.25); }
    // The zoom at which the current page fills the viewport's width, or the whole viewport.
    void FitWidth();
    void FitPage();

    // The page's image as last rendered, null when it has not been rendered since the document
    // or the zoom changed.
    QImage RenderedPage(int index) const { return rendered_.value(index); }

signals:
    void currentPageChanged(int index);
    // Pages were rendered during a paint.
    void pagesRendered();

protected:
    // Home and End (also with Ctrl) go to the first and last page, Space and Shift+Space scroll
    // by a screen; the wheel with Ctrl zooms.
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    friend class PageCanvas;
    void Relayout();
    QRect PageRect(int index) const;
    double Dpi() const;
    void PaintPages(QPainter& painter, const QRect& exposed);

    QByteArray bytes_;
    std::unique_ptr<Poppler::Document> document_;
    QVector<QSizeF> sizes_; // in points
    QVector<int> tops_;     // in canvas pixels
    QHash<int, QImage> rendered_;
    double zoom_ = 1.0;
    QWidget* canvas_;
};

} // namespace tesser::app
