#include "AccessKeyLabels.h"

#include "DialogSupport.h"

namespace nimbary {

void SetAccessKey(QLabel* label, QWidget* buddy, text::KeyPlace place, int item) {
    label->setText(QString::fromStdString(
        text::WithAccessKey(label->text().toStdString(), text::AccessKey(place, item))));
    label->setBuddy(buddy);
}

void SetAccessKeys(QWidget& dialog, text::KeyPlace place) {
    const QString prefix = LabelName(0).chopped(1);  // "label_"
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        bool ok = false;
        const int id = label->objectName().startsWith(prefix)
                           ? label->objectName().mid(prefix.size()).toInt(&ok)
                           : 0;
        if (QWidget* control = ok ? dialog.findChild<QWidget*>(Idc(id)) : nullptr)
            SetAccessKey(label, control, place, id);
    }
}

}  // namespace nimbary
