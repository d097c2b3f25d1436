#include "platform/ui/resources.h"

#include <QApplication>
#include <QFile>
#include <QIconEngine>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>
#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace platform {

namespace {

// Extension modules and their resource roots, in the order they were registered.
struct ExtensionTable {
    std::mutex mutex;
    std::vector<std::pair<HINSTANCE, std::string>> roots;
};

ExtensionTable& extensions() {
    static ExtensionTable table;
    return table;
}

// The file of resource `id` of a kind ("bitmap", "icon"): the SVG when there is one, else the
// PNG; empty when neither exists.
QString resourceFile(HINSTANCE instance, const char* kind, int id) {
    const std::string root = resourceRootOf(instance);
    if (root.empty() || id <= 0) {
        return {};
    }
    const QString base =
        QStringLiteral("%1/%2/%3").arg(QString::fromStdString(root), QLatin1String(kind)).arg(id);
    for (const char* extension : {".svg", ".png"}) {
        const QString file = base + QLatin1String(extension);
        if (QFile::exists(file)) {
            return file;
        }
    }
    return {};
}

bool isSvg(const QString& file) {
    return file.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive);
}

// Renders an SVG into a transparent image of `pixels` device pixels.
QImage renderSvg(QSvgRenderer& renderer, const QSize& pixels) {
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    return image;
}

QSize scaledSize(const QSize& size, qreal ratio) {
    return QSize(std::max(1, static_cast<int>(std::lround(size.width() * ratio))),
                 std::max(1, static_cast<int>(std::lround(size.height() * ratio))));
}

// The greyed look of a disabled icon: the style's own where there is an application, else
// grey levels lightened halfway to white.
QPixmap greyed(const QPixmap& pixmap) {
    if (auto* application = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QStyleOption option;
        option.palette = QApplication::palette();
        return application->style()->generatedIconPixmap(QIcon::Disabled, pixmap, &option);
    }
    QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = (qGray(line[x]) + 255) / 2;
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]));
        }
    }
    QPixmap result = QPixmap::fromImage(image);
    result.setDevicePixelRatio(pixmap.devicePixelRatio());
    return result;
}

// An icon drawn from its SVG at whatever size and scale it is asked for, so that it stays
// sharp at 100 %, 200 % and between.
class SvgIconEngine final : public QIconEngine {
  public:
    explicit SvgIconEngine(QByteArray svg) : svg_(std::move(svg)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, state, ratio));
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override {
        if (size.isEmpty()) {
            return {};
        }
        QSvgRenderer renderer(svg_);
        if (!renderer.isValid()) {
            return {};
        }
        // QIcon::pixmap asks for device pixels already (size times scale); a painter asks in
        // logical pixels. Either way the result has the requested pixels and carries the scale.
        QPixmap result = QPixmap::fromImage(renderSvg(renderer, size));
        result.setDevicePixelRatio(scale);
        return mode == QIcon::Disabled ? greyed(result) : result;
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QSvgRenderer renderer(svg_);
        return {renderer.defaultSize()};
    }
    QString key() const override { return QStringLiteral("platform-svg"); }
    QIconEngine* clone() const override { return new SvgIconEngine(svg_); }
    bool isNull() override { return svg_.isEmpty(); }

  private:
    QByteArray svg_;
};

QByteArray readAll(const QString& file) {
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

}  // namespace

bool AfxInitExtensionModule(AFX_EXTENSION_MODULE& module, HINSTANCE instance,
                            const char* resourceRoot) {
    if (!instance || !resourceRoot || !*resourceRoot) {
        return false;
    }
    ExtensionTable& table = extensions();
    {
        const std::lock_guard lock(table.mutex);
        const auto found = std::find_if(table.roots.begin(), table.roots.end(),
                                        [&](const auto& entry) { return entry.first == instance; });
        if (found != table.roots.end()) {
            found->second = resourceRoot;
        } else {
            table.roots.emplace_back(instance, resourceRoot);
        }
    }
    module.bInitialized = true;
    module.hModule = instance;
    module.resourceRoot = resourceRoot;
    return true;
}

void AfxTermExtensionModule(AFX_EXTENSION_MODULE& module) {
    if (module.hModule) {
        ExtensionTable& table = extensions();
        const std::lock_guard lock(table.mutex);
        std::erase_if(table.roots,
                      [&](const auto& entry) { return entry.first == module.hModule; });
    }
    module.bInitialized = false;
    module.hModule = nullptr;
    module.resourceRoot.clear();
}

std::string resourceRootOf(HINSTANCE instance) {
    if (!instance) {
        return {};
    }
    ExtensionTable& table = extensions();
    const std::lock_guard lock(table.mutex);
    const auto found = std::find_if(table.roots.begin(), table.roots.end(),
                                    [&](const auto& entry) { return entry.first == instance; });
    return found == table.roots.end() ? std::string() : found->second;
}

QPixmap loadBitmapResource(HINSTANCE instance, int id, qreal devicePixelRatio) {
    const QString file = resourceFile(instance, "bitmap", id);
    if (file.isEmpty()) {
        return {};
    }
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QPixmap result;
    if (isSvg(file)) {
        QSvgRenderer renderer(file);
        if (!renderer.isValid() || renderer.defaultSize().isEmpty()) {
            return {};
        }
        result = QPixmap::fromImage(renderSvg(renderer, scaledSize(renderer.defaultSize(), ratio)));
    } else {
        QImage image(file);
        if (image.isNull()) {
            return {};
        }
        if (ratio != 1.0) {
            image = image.scaled(scaledSize(image.size(), ratio), Qt::IgnoreAspectRatio,
                                 Qt::SmoothTransformation);
        }
        result = QPixmap::fromImage(image);
    }
    result.setDevicePixelRatio(ratio);
    return result;
}

QIcon loadIconResource(HINSTANCE instance, int id) {
    const QString file = resourceFile(instance, "icon", id);
    if (file.isEmpty()) {
        return {};
    }
    if (isSvg(file)) {
        QByteArray svg = readAll(file);
        if (!QSvgRenderer(svg).isValid()) {
            return {};
        }
        return QIcon(new SvgIconEngine(std::move(svg)));
    }
    QPixmap pixmap(file);
    return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

QSize iconResourceSize(HINSTANCE instance, int id) {
    const QString file = resourceFile(instance, "icon", id);
    if (file.isEmpty()) {
        return {};
    }
    if (isSvg(file)) {
        QSvgRenderer renderer(file);
        return renderer.isValid() ? renderer.defaultSize() : QSize();
    }
    QImageReader reader(file);
    return reader.size();
}

}  // namespace platform
