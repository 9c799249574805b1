#include "ImagePlot.h"

namespace {

class ImagePaintBuffer : public QCPAbstractPaintBuffer {
  public:
    ImagePaintBuffer(const QSize& size, double devicePixelRatio)
        : QCPAbstractPaintBuffer(size, devicePixelRatio) {
        ImagePaintBuffer::reallocateBuffer();
    }

    QCPPainter* startPainting() override { return new QCPPainter(&m_image); }
    void draw(QCPPainter* painter) const override {
        if (painter && painter->isActive())
            painter->drawImage(0, 0, m_image);
    }
    void clear(const QColor& color) override { m_image.fill(color); }

  protected:
    void reallocateBuffer() override {
        setInvalidated();
        m_image = QImage(mSize * mDevicePixelRatio, QImage::Format_ARGB32_Premultiplied);
        m_image.setDevicePixelRatio(mDevicePixelRatio);
        m_image.fill(Qt::transparent);
    }

  private:
    QImage m_image;
};

} // namespace

void ImagePlot::updateLayout() {
    QCustomPlot::updateLayout();
    if (openGl())
        return;
    // As many buffers as the layers are about to be given: one for the layers before the
    // first buffered one, one per buffered layer, and one after a buffered layer for the
    // logical layers that follow it. Whatever is already an image stays as it is.
    int needed = 1;
    for (int i = 0; i < layerCount(); ++i) {
        if (layer(i)->mode() != QCPLayer::lmBuffered)
            continue;
        ++needed;
        if (i + 1 < layerCount() && layer(i + 1)->mode() == QCPLayer::lmLogical)
            ++needed;
    }
    for (int i = 0; i < needed; ++i) {
        if (i < mPaintBuffers.size() && dynamic_cast<ImagePaintBuffer*>(mPaintBuffers.at(i).data()))
            continue;
        QSharedPointer<QCPAbstractPaintBuffer> buffer(
            new ImagePaintBuffer(viewport().size(), bufferDevicePixelRatio()));
        if (i < mPaintBuffers.size())
            mPaintBuffers[i] = buffer;
        else
            mPaintBuffers.append(buffer);
    }
}
