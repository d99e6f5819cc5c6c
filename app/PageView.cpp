#include "app/PageView.h"

#include <poppler-qt6.h>

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

namespace tesser::app {

namespace {
constexpr int kGap = 12;
constexpr double kScreenDpi = 96.0;
} // namespace

class PageCanvas : public QWidget {
public:
    explicit PageCanvas(PageView* view) : QWidget(view), view_(view) {
        setObjectName(QStringLiteral("pageCanvas"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.fillRect(event->rect(), palette().color(QPalette::Dark));
        view_->PaintPages(painter, event->rect());
    }

private:
    PageView* view_;
};

PageView::PageView(QWidget* parent) : QScrollArea(parent), canvas_(new PageCanvas(this)) {
    setObjectName(QStringLiteral("pageView"));
    setAccessibleName(QStringLiteral("Pages"));
    setWidget(canvas_);
    setWidgetResizable(false);
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setBackgroundRole(QPalette::Dark);
    setFocusPolicy(Qt::StrongFocus);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { emit currentPageChanged(CurrentPage()); });
}

PageView::~PageView() = default;

bool PageView::SetDocumentBytes(const QByteArray& bytes) {
    bytes_ = bytes;
    rendered_.clear();
    sizes_.clear();
    document_ = Poppler::Document::loadFromData(bytes_);
    bool ok = document_ != nullptr && !document_->isLocked();
    if (ok) {
        document_->setRenderHint(Poppler::Document::Antialiasing);
        document_->setRenderHint(Poppler::Document::TextAntialiasing);
        const int count = document_->numPages();
        sizes_.reserve(count);
        for (int i = 0; i < count; ++i) {
            std::unique_ptr<Poppler::Page> page = document_->page(i);
            sizes_.push_back(page ? page->pageSizeF() : QSizeF(612, 792));
        }
    } else {
        document_.reset();
    }
    Relayout();
    canvas_->update();
    return ok;
}

double PageView::Dpi() const {
    return kScreenDpi * zoom_;
}

void PageView::Relayout() {
    tops_.resize(sizes_.size());
    int y = kGap;
    int width = 0;
    const double scale = Dpi() / 72.0;
    for (int i = 0; i < sizes_.size(); ++i) {
        tops_[i] = y;
        y += static_cast<int>(sizes_[i].height() * scale) + kGap;
        width = std::max(width, static_cast<int>(sizes_[i].width() * scale));
    }
    canvas_->resize(width + 2 * kGap, std::max(y, kGap));
}

QRect PageView::PageRect(int index) const {
    const double scale = Dpi() / 72.0;
    int w = static_cast<int>(sizes_[index].width() * scale);
    int h = static_cast<int>(sizes_[index].height() * scale);
    return QRect((canvas_->width() - w) / 2, tops_[index], w, h);
}

void PageView::PaintPages(QPainter& painter, const QRect& exposed) {
    if (!document_) {
        return;
    }
    // The first page that may reach into the exposed band, found by its top.
    auto first = std::upper_bound(tops_.begin(), tops_.end(), exposed.top());
    int index = std::max(0, static_cast<int>(first - tops_.begin()) - 1);
    bool renderedAny = false;
    for (; index < sizes_.size() && tops_[index] <= exposed.bottom(); ++index) {
        QRect rect = PageRect(index);
        if (!rect.intersects(exposed)) {
            continue;
        }
        auto it = rendered_.find(index);
        if (it == rendered_.end()) {
            QImage image;
            if (std::unique_ptr<Poppler::Page> page = document_->page(index)) {
                image = page->renderToImage(Dpi(), Dpi());
            }
            if (image.isNull()) {
                image = QImage(rect.size(), QImage::Format_RGB32);
                image.fill(Qt::white);
            }
            it = rendered_.insert(index, image);
            renderedAny = true;
        }
        painter.drawImage(rect.topLeft(), *it);
    }
    // Keep the pages near the viewport only, so a long document does not gather them all.
    if (rendered_.size() > 24) {
        int current = CurrentPage();
        for (auto it = rendered_.begin(); it != rendered_.end();) {
            it = std::abs(it.key() - current) > 12 ? rendered_.erase(it) : std::next(it);
        }
    }
    if (renderedAny) {
        emit pagesRendered();
    }
}

int PageView::CurrentPage() const {
    if (tops_.isEmpty()) {
        return 0;
    }
    int y = verticalScrollBar()->value() + kGap;
    auto it = std::upper_bound(tops_.begin(), tops_.end(), y);
    return std::max(0, static_cast<int>(it - tops_.begin()) - 1);
}

void PageView::GoToPage(int index) {
    if (index < 0 || index >= tops_.size()) {
        return;
    }
    verticalScrollBar()->setValue(tops_[index] - kGap);
}

void PageView::FitWidth() {
    if (sizes_.isEmpty()) {
        return;
    }
    const QSizeF page = sizes_[std::max(0, CurrentPage())];
    const double available = viewport()->width() - 2 * kGap;
    SetZoom(available / (page.width() * kScreenDpi / 72.0));
}

void PageView::FitPage() {
    if (sizes_.isEmpty()) {
        return;
    }
    const QSizeF page = sizes_[std::max(0, CurrentPage())];
    const double byWidth = (viewport()->width() - 2 * kGap) / (page.width() * kScreenDpi / 72.0);
    const double byHeight = (viewport()->height() - 2 * kGap) / (page.height() * kScreenDpi / 72.0);
    SetZoom(std::min(byWidth, byHeight));
}

void PageView::keyPressEvent(QKeyEvent* event) {
    QScrollBar* bar = verticalScrollBar();
    switch (event->key()) {
    case Qt::Key_Home:
        GoToPage(0);
        return;
    case Qt::Key_End:
        GoToPage(PageCount() - 1);
        return;
    case Qt::Key_Space:
        bar->setValue(bar->value() + ((event->modifiers() & Qt::ShiftModifier) ? -bar->pageStep()
                                                                               : bar->pageStep()));
        return;
    default:
        QScrollArea::keyPressEvent(event);
    }
}

void PageView::wheelEvent(QWheelEvent* event) {
    if (event->modifiers() & Qt::ControlModifier) {
        const int steps = event->angleDelta().y();
        if (steps > 0) {
            ZoomIn();
        } else if (steps < 0) {
            ZoomOut();
        }
        event->accept();
        return;
    }
    QScrollArea::wheelEvent(event);
}

void PageView::SetZoom(double zoom) {
    zoom = std::clamp(zoom, 0.1, 8.0);
    if (zoom == zoom_) {
        return;
    }
    int page = CurrentPage();
    zoom_ = zoom;
    rendered_.clear();
    Relayout();
    GoToPage(page);
    canvas_->update();
}

} // namespace tesser::app
