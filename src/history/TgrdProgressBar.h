#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

// A self-drawn progress bar with solid, block, gradient and picture styles. It paints
// off-screen and copies the finished picture in one piece; a new Position repaints at
// once, and only the strip that changed, so a long loop may set it after every step.
class TgrdProgressBar : public QWidget {
    Q_OBJECT
  public:
    enum TgrdPBStyle { sSolid, sRectangles, sExSolid, sExRectangles, sPictures };
    Q_ENUM(TgrdPBStyle)
    enum TgrdPBOrientation { orVertical, orHorizontal };
    Q_ENUM(TgrdPBOrientation)
    enum TgrdBevelOuter { bvNone, bvLowered, bvRaised };
    Q_ENUM(TgrdBevelOuter)
    enum TgrdShowTextStyle { stsPercent, stsPosition };
    Q_ENUM(TgrdShowTextStyle)

    Q_PROPERTY(int Min READ min WRITE setMin)
    Q_PROPERTY(int Max READ max WRITE setMax)
    Q_PROPERTY(int Position READ position WRITE setPosition)
    Q_PROPERTY(int Step READ step WRITE setStep)
    Q_PROPERTY(TgrdPBStyle Style READ style WRITE setStyle)
    Q_PROPERTY(TgrdPBOrientation Orientation READ orientation WRITE setOrientation)
    Q_PROPERTY(QColor BeginColor READ beginColor WRITE setBeginColor)
    Q_PROPERTY(QColor EndColor READ endColor WRITE setEndColor)
    Q_PROPERTY(TgrdBevelOuter BevelOuter READ bevelOuter WRITE setBevelOuter)
    Q_PROPERTY(TgrdBevelOuter BarBevelOuter READ barBevelOuter WRITE setBarBevelOuter)
    Q_PROPERTY(bool ShowText READ showText WRITE setShowText)
    Q_PROPERTY(TgrdShowTextStyle ShowTextStyle READ showTextStyle WRITE setShowTextStyle)
    Q_PROPERTY(QPixmap Glyph READ glyph WRITE setGlyph)
    Q_PROPERTY(bool TransparentGlyph READ transparentGlyph WRITE setTransparentGlyph)

    explicit TgrdProgressBar(QWidget* parent = nullptr);

    int min() const { return m_min; }
    void setMin(int value); // ignored above Max
    int max() const { return m_max; }
    void setMax(int value); // ignored below Min
    int position() const { return m_position; }
    void setPosition(int value); // not clamped
    int step() const { return m_step; }
    void setStep(int value) { m_step = value; }
    TgrdPBStyle style() const { return m_style; }
    void setStyle(TgrdPBStyle value);
    TgrdPBOrientation orientation() const { return m_orientation; }
    void setOrientation(TgrdPBOrientation value);
    QColor beginColor() const { return m_beginColor; }
    void setBeginColor(const QColor& value);
    QColor endColor() const { return m_endColor; }
    void setEndColor(const QColor& value);
    TgrdBevelOuter bevelOuter() const { return m_bevelOuter; }
    void setBevelOuter(TgrdBevelOuter value);
    TgrdBevelOuter barBevelOuter() const { return m_barBevelOuter; }
    void setBarBevelOuter(TgrdBevelOuter value);
    bool showText() const { return m_showText; }
    void setShowText(bool value);
    TgrdShowTextStyle showTextStyle() const { return m_showTextStyle; }
    void setShowTextStyle(TgrdShowTextStyle value);
    QPixmap glyph() const { return m_glyph; }
    void setGlyph(const QPixmap& value); // a non-empty glyph sizes the bar's thickness to it
    bool transparentGlyph() const { return m_transparentGlyph; }
    void setTransparentGlyph(bool value);

    QSize sizeHint() const override { return QSize(150, 16); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool horizontal() const { return m_orientation == orHorizontal; }
    QRect bar() const;
    int filledFor(int position) const;
    bool pictureFinal(int position) const;
    QString textFor(int position) const;
    QRect textRect() const;
    void paintPicture(QPainter& painter);
    void drawBevel(QPainter& painter, const QRect& r, TgrdBevelOuter bevel) const;
    void prepareGlyph();

    int m_min = 0;
    int m_max = 100;
    int m_position = 0;
    int m_step = 10;
    TgrdPBStyle m_style = sRectangles;
    TgrdPBOrientation m_orientation = orVertical;
    QColor m_beginColor = QColor(0, 0, 128);
    QColor m_endColor = QColor(255, 255, 255);
    TgrdBevelOuter m_bevelOuter = bvLowered;
    TgrdBevelOuter m_barBevelOuter = bvNone;
    bool m_showText = false;
    TgrdShowTextStyle m_showTextStyle = stsPercent;
    QPixmap m_glyph;
    QPixmap m_drawnGlyph; // the glyph with its transparent colour masked out
    bool m_transparentGlyph = true;
};
