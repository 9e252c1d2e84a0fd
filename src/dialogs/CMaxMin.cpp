#include "CMaxMin.h"

#include <QGroupBox>
#include <QPainter>
#include <QPushButton>
#include <QThread>

#include "DialogSupport.h"
#include "MaxMinPainter.h"

namespace nimbary {

// The painting lies over the group boxes, whose own fill would tint it.
class CMaxMin::Canvas : public QWidget {
public:
    explicit Canvas(CMaxMin& owner) : QWidget(&owner), owner_(owner) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(owner.rect());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        PaintMaxMin(p, owner_.layout_, owner_.station_.MaxMin(), owner_.units_, owner_.texts_,
                    owner_.rain_);
    }

private:
    CMaxMin& owner_;
};

CMaxMin::CMaxMin(StationAccess& station, TextSource& texts, Messages& messages, bool readOk,
                 const MaxMinLayout& layout, QWidget* parent)
    : QDialog(parent),
      station_(station),
      texts_(texts),
      messages_(messages),
      layout_(layout),
      units_(station.DisplayUnits()),
      rain_(station.Presence().Flags & QF_RAIN) {
    setObjectName("CMaxMin");
    setFont(DialogFont());
    setFixedSize(layout_.size);
    setWindowTitle(Text(texts_, 2109));
    for (int i = 0; i < 4; ++i) {
        auto* g = Place<QGroupBox>(this, Idc(1016 + i), layout_.groups[i].ToQRect());
        if (layout_.groupCaptions[i]) g->setTitle(Text(texts_, layout_.groupCaptions[i]));
    }
    if (!rain_) findChild<QWidget*>(Idc(1019))->hide();
    canvas_ = new Canvas(*this);

    auto* reset = Place<QPushButton>(this, Idc(1020), layout_.reset.ToQRect());
    reset->setText(Text(texts_, 2066));
    // Nothing asks before a reset, so Enter must not be one.
    reset->setAutoDefault(false);
    reset->setEnabled(readOk);
    auto* exit = Place<QPushButton>(this, Idc(2), layout_.exit.ToQRect());
    exit->setText(Text(texts_, 2104));
    exit->setDefault(true);
    connect(reset, &QPushButton::clicked, this, &CMaxMin::OnReset);
    connect(exit, &QPushButton::clicked, this, &QDialog::reject);
}

void CMaxMin::OnReset() {
    if (!station_.ClearMaxMin()) {
        messages_.Show(texts_.Load(2094), MessageIcon::Error);
        return;
    }
    // The station needs a moment before it reports the fresh values.
    QThread::msleep(50);
    station_.ReadMaxMin();
    canvas_->update();
    messages_.Show(texts_.Load(2099), MessageIcon::Information);
}

}  // namespace nimbary
