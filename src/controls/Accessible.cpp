#include "controls/Accessible.h"

#include "controls/ClockFace.h"
#include "controls/SpinButton.h"
#include "platform/Colors.h"

#include <QAccessibleWidget>
#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

namespace controls {

namespace {

const char* const kRoleProperty = "daduvovAccessibleRole";

// A spin button: its value, range and step as a screen reader asks for them.
class SpinButtonAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit SpinButtonAccessible(SpinButton* spin) : QAccessibleWidget(spin, QAccessible::SpinBox) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return QString::number(spin()->value());
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return spin()->value(); }
    void setCurrentValue(const QVariant& value) override { spin()->setValue(value.toInt()); }
    QVariant maximumValue() const override { return spin()->maximum(); }
    QVariant minimumValue() const override { return spin()->minimum(); }
    QVariant minimumStepSize() const override { return 1; }

  private:
    SpinButton* spin() const { return static_cast<SpinButton*>(widget()); }
};

// A clock face reads as a label: its text is its name, its tooltip the description.
class ClockFaceAccessible : public QAccessibleWidget {
  public:
    explicit ClockFaceAccessible(ClockFace* face) : QAccessibleWidget(face, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<ClockFace*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* controlsFactory(const QString& className, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    if (className == QLatin1String(SpinButton::staticMetaObject.className()))
        return new SpinButtonAccessible(static_cast<SpinButton*>(widget));
    if (className == QLatin1String(ClockFace::staticMetaObject.className()))
        return new ClockFaceAccessible(static_cast<ClockFace*>(widget));
    // Asked first with the most derived class; a window given a role keeps it whatever it is.
    const QVariant role = widget->property(kRoleProperty);
    if (role.isValid() && className == QLatin1String(widget->metaObject()->className()))
        return new QAccessibleWidget(widget, static_cast<QAccessible::Role>(role.toInt()));
    return nullptr;
}

} // namespace

void installAccessibleControls() {
    static const bool installed = [] {
        QAccessible::installFactory(controlsFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void setAccessibleRole(QWidget* widget, QAccessible::Role role) {
    installAccessibleControls();
    widget->setProperty(kRoleProperty, static_cast<int>(role));
}

void setAccessibleName(QWidget* widget, const QString& name) {
    // The edit part of a combo box has the focus while the user types: it carries the name too.
    if (auto* combo = qobject_cast<QComboBox*>(widget); combo && combo->lineEdit())
        setAccessibleName(combo->lineEdit(), name);
    // Qt reports the change to an attached reader itself.
    widget->setAccessibleName(name);
}

void announce(QWidget* widget, const QString& text) {
    widget->setAccessibleDescription(text);
}

QColor textColourOnWhite(qint32 value) {
    if (static_cast<quint32>(value) & 0x80000000u)
        return Qt::black;
    return platform::toQColor(value);
}

QString colourName(qint32 value) {
    if (static_cast<quint32>(value) & 0x80000000u)
        return QStringLiteral("標準");
    struct Named {
        QRgb rgb;
        const char* name;
    };
    // The basic colours a user picks most: the pure and half-bright ones of the colour dialog.
    static const Named names[] = {
        {qRgb(0x00, 0x00, 0x00), "黒"},       {qRgb(0xFF, 0xFF, 0xFF), "白"},
        {qRgb(0xFF, 0x00, 0x00), "赤"},       {qRgb(0x00, 0xFF, 0x00), "黄緑"},
        {qRgb(0x00, 0x00, 0xFF), "青"},       {qRgb(0xFF, 0xFF, 0x00), "黄"},
        {qRgb(0x00, 0xFF, 0xFF), "水色"},     {qRgb(0xFF, 0x00, 0xFF), "赤紫"},
        {qRgb(0x80, 0x00, 0x00), "えんじ"},   {qRgb(0x00, 0x80, 0x00), "緑"},
        {qRgb(0x00, 0x00, 0x80), "紺"},       {qRgb(0x80, 0x80, 0x00), "オリーブ"},
        {qRgb(0x00, 0x80, 0x80), "青緑"},     {qRgb(0x80, 0x00, 0x80), "紫"},
        {qRgb(0x80, 0x80, 0x80), "灰色"},     {qRgb(0xC0, 0xC0, 0xC0), "明るい灰色"},
        {qRgb(0xFF, 0x80, 0x00), "オレンジ"}, {qRgb(0xFF, 0x80, 0xC0), "ピンク"},
        {qRgb(0x80, 0x40, 0x00), "茶色"},
    };
    const QColor color = platform::toQColor(value);
    for (const Named& n : names)
        if (color.rgb() == n.rgb)
            return QString::fromUtf8(n.name);
    return color.name().toUpper();
}

} // namespace controls
