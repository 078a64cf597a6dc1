#include "test_main.h"

#include "widgets/toggle_switch.h"

#include <QImage>
#include <QMetaMethod>
#include <QPropertyAnimation>
#include <QSignalSpy>

namespace {

QPropertyAnimation* animationOf(ToggleSwitch& toggle)
{
    return toggle.findChild<QPropertyAnimation*>();
}

bool isNearlyWhite(QRgb pixel)
{
    return qRed(pixel) >= 235 && qGreen(pixel) >= 235 && qBlue(pixel) >= 235;
}

} // namespace

class TestToggleSwitch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newSwitchIsOff()
    {
        ToggleSwitch toggle;
        QVERIFY(!toggle.isChecked());
        QCOMPARE(toggle.animationProgress(), 0.0);
        QCOMPARE(toggle.minimumSize(), QSize(54, 30));
        QCOMPARE(toggle.maximumSize(), QSize(54, 30));
        QCOMPARE(toggle.cursor().shape(), Qt::PointingHandCursor);
    }

    void metaObjectInterface()
    {
        const QMetaObject* meta = &ToggleSwitch::staticMetaObject;
        QCOMPARE(meta->methodCount() - meta->methodOffset(), 1);
        const QMetaMethod signal = meta->method(meta->methodOffset());
        QCOMPARE(signal.methodSignature(), QByteArray("toggled(bool)"));
        QCOMPARE(signal.methodType(), QMetaMethod::Signal);
        QCOMPARE(meta->propertyCount() - meta->propertyOffset(), 1);
        const QMetaProperty property = meta->property(meta->propertyOffset());
        QCOMPARE(property.name(), "animationProgress");
        QCOMPARE(property.typeName(), "double");
    }

    void toggledOnlyOnRealChange()
    {
        ToggleSwitch toggle;
        QSignalSpy spy(&toggle, &ToggleSwitch::toggled);

        toggle.setChecked(false);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(animationOf(toggle)->state(), QAbstractAnimation::Stopped);

        toggle.setChecked(true);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toBool(), true);
        QVERIFY(toggle.isChecked());
        // The signal comes after the animation has been started.
        QCOMPARE(animationOf(toggle)->state(), QAbstractAnimation::Running);

        toggle.setChecked(true);
        QCOMPARE(spy.count(), 1);

        toggle.setChecked(false);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(0).toBool(), false);
    }

    void anyMouseButtonToggles_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::newRow("left") << Qt::LeftButton;
        QTest::newRow("right") << Qt::RightButton;
        QTest::newRow("middle") << Qt::MiddleButton;
    }

    void anyMouseButtonToggles()
    {
        QFETCH(Qt::MouseButton, button);
        ToggleSwitch toggle;
        QSignalSpy spy(&toggle, &ToggleSwitch::toggled);

        QTest::mouseClick(&toggle, button, {}, QPoint(2, 2));
        QCOMPARE(spy.count(), 1);
        QVERIFY(toggle.isChecked());

        QTest::mouseClick(&toggle, button, {}, QPoint(40, 15));
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(0).toBool(), false);
        QVERIFY(!toggle.isChecked());
    }

    void animationSlidesTheKnob()
    {
        ToggleSwitch toggle;
        QPropertyAnimation* animation = animationOf(toggle);
        QVERIFY(animation);
        QCOMPARE(animation->targetObject(), &toggle);
        QCOMPARE(animation->propertyName(), QByteArray("animationProgress"));
        QCOMPARE(animation->duration(), 200);
        QCOMPARE(animation->easingCurve().type(), QEasingCurve::OutCubic);

        toggle.setChecked(true);
        animation->setCurrentTime(100);
        QCOMPARE(toggle.animationProgress(), QEasingCurve(QEasingCurve::OutCubic).valueForProgress(0.5));
        animation->setCurrentTime(200);
        QCOMPARE(toggle.animationProgress(), 1.0);
        QCOMPARE(animation->state(), QAbstractAnimation::Stopped);
    }

    void changeDuringAnimationKeepsItsClock()
    {
        ToggleSwitch toggle;
        QPropertyAnimation* animation = animationOf(toggle);
        toggle.setChecked(true);
        animation->setCurrentTime(100);
        const qreal midway = toggle.animationProgress();

        toggle.setChecked(false);
        QCOMPARE(animation->state(), QAbstractAnimation::Running);
        QCOMPARE(animation->currentTime(), 100);
        QCOMPARE(animation->startValue().toReal(), midway);
        QCOMPARE(animation->endValue().toReal(), 0.0);
        animation->setCurrentTime(200);
        QCOMPARE(toggle.animationProgress(), 0.0);
    }

    void paintsTrackAndKnob_data()
    {
        QTest::addColumn<qreal>("progress");
        QTest::addColumn<QColor>("track");
        QTest::addColumn<int>("knobX");
        QTest::newRow("off") << 0.0 << QColor(102, 102, 102) << 7;
        QTest::newRow("halfway") << 0.5 << QColor(51, 111, 157) << 18;
        QTest::newRow("on") << 1.0 << QColor(0, 120, 212) << 30;
    }

    void paintsTrackAndKnob()
    {
        QFETCH(qreal, progress);
        QFETCH(QColor, track);
        QFETCH(int, knobX);

        ToggleSwitch toggle;
        toggle.setAnimationProgress(progress);
        const QImage image = toggle.grab().toImage();
        QCOMPARE(image.size(), QSize(54, 30));

        // Above and below the knob the track is fully covered: exact colour.
        QCOMPARE(QColor(image.pixel(27, 4)), track);
        QCOMPARE(QColor(image.pixel(27, 25)), track);
        // Outside the track (3 px inset) nothing of it is painted.
        QVERIFY(QColor(image.pixel(27, 1)) != track);

        // The knob is a 16 px white circle from knobX to knobX + 16 on row 15.
        const int row = 15;
        QCOMPARE(QColor(image.pixel(knobX - 1, row)), track);
        QVERIFY(isNearlyWhite(image.pixel(knobX, row)));
        QVERIFY(isNearlyWhite(image.pixel(knobX + 8, row)));
        QVERIFY(isNearlyWhite(image.pixel(knobX + 15, row)));
        QCOMPARE(QColor(image.pixel(knobX + 16, row)), track);
        // Vertically it spans rows 7 to 22.
        QVERIFY(isNearlyWhite(image.pixel(knobX + 8, 7)));
        QVERIFY(isNearlyWhite(image.pixel(knobX + 8, 22)));
        QCOMPARE(QColor(image.pixel(knobX + 8, 6)), track);
        QCOMPARE(QColor(image.pixel(knobX + 8, 23)), track);
    }
};

VELMORA_TEST_MAIN(TestToggleSwitch)
#include "test_toggle_switch.moc"
