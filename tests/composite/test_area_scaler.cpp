#include "test_main.h"

#include "core/area_scaler.h"

namespace {

// One row of grey pixels in BGR888.
QImage greyRow(const QList<int>& values)
{
    QImage image(int(values.size()), 1, QImage::Format_BGR888);
    for (int x = 0; x < values.size(); ++x)
        std::memset(image.scanLine(0) + x * 3, values[x], 3);
    return image;
}

QList<int> greys(const QImage& image)
{
    QList<int> values;
    for (int x = 0; x < image.width(); ++x)
        values.append(image.constScanLine(0)[x * 3]);
    return values;
}

class FailingRows final : public RowStream
{
public:
    QSize size() const override { return QSize(4, 4); }
    int bytesPerPixel() const override { return 3; }
    const uchar* row(int y) override { return y < 2 ? m_row : nullptr; }

private:
    uchar m_row[12] = {};
};

} // namespace

class TestAreaScaler : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every source pixel weighs by the share of it an output pixel covers.
    void averagesByArea_data()
    {
        QTest::addColumn<QList<int>>("source");
        QTest::addColumn<QRectF>("window");
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("halving") << QList<int>{10, 30, 100, 200} << QRectF() << QList<int>{20, 150};
        QTest::newRow("two thirds") << QList<int>{0, 90, 180} << QRectF() << QList<int>{30, 150};
        QTest::newRow("same size") << QList<int>{7, 8, 9} << QRectF() << QList<int>{7, 8, 9};
        QTest::newRow("fractional window") << QList<int>{0, 100, 200} << QRectF(0.5, 0, 2, 1) << QList<int>{100};
        QTest::newRow("cut window") << QList<int>{0, 100, 200, 250} << QRectF(1, 0, 2, 1) << QList<int>{100, 200};
    }

    void averagesByArea()
    {
        QFETCH(QList<int>, source);
        QFETCH(QRectF, window);
        QFETCH(QList<int>, expected);
        const QImage input = greyRow(source);
        QImage output(int(expected.size()) + 2, 1, QImage::Format_BGR888);
        output.fill(Qt::white);
        shrinkInto(BgrRows::of(input), BgrCanvas::of(output), QRect(1, 0, int(expected.size()), 1), window);
        // Drawn inside its rectangle only.
        QCOMPARE(greys(output), QList<int>{255} + expected + QList<int>{255});
    }

    void rowsAreAveragedToo()
    {
        QImage input(1, 4, QImage::Format_RGB32);
        const int values[] = {0, 40, 100, 220};
        for (int y = 0; y < 4; ++y)
            input.setPixel(0, y, qRgb(values[y], values[y], values[y]));
        QImage output(1, 2, QImage::Format_BGR888);
        shrinkInto(BgrRows::of(input), BgrCanvas::of(output), QRect(0, 0, 1, 2));
        QCOMPARE(int(output.constScanLine(0)[0]), 20);
        QCOMPARE(int(output.constScanLine(1)[0]), 160);
    }

    void failingStreamStops()
    {
        FailingRows rows;
        QImage output(2, 2, QImage::Format_BGR888);
        QVERIFY(!shrinkInto(rows, BgrCanvas::of(output), QRect(0, 0, 2, 2)));
    }

    void refusesToEnlarge()
    {
        const QImage input = greyRow({50, 60});
        QImage output(4, 1, QImage::Format_BGR888);
        output.fill(Qt::white);
        shrinkInto(BgrRows::of(input), BgrCanvas::of(output), QRect(0, 0, 4, 1));
        QCOMPARE(greys(output), (QList<int>{255, 255, 255, 255}));
    }
};

VELMORA_TEST_MAIN(TestAreaScaler)
#include "test_area_scaler.moc"
