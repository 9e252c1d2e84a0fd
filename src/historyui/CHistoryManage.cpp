#include "CHistoryManage.h"

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "HistoryUiText.h"
#include "StringTable.h"

namespace nimbary {

namespace {

constexpr int kMaxIdChars = 49;

}  // namespace

CHistoryManage::CHistoryManage(HistoryDb& db, bool connected, uint32_t devId,
                               HistoryCommands& commands, Messages& messages, QWidget* parent)
    : QDialog(parent),
      commands_(commands),
      messages_(messages),
      list_(new QComboBox(this)),
      station_(new QLabel(this)) {
    setWindowTitle(Text(2115));

    auto* database = new QGroupBox(Text(2116), this);
    database->setObjectName("idc_1121");
    list_->setObjectName("idc_1122");
    list_->setMinimumWidth(120);
    auto* clearDatabase = new QPushButton(Text(2117), database);
    clearDatabase->setObjectName("idc_1119");
    auto* databaseRow = new QHBoxLayout(database);
    databaseRow->addWidget(list_, 1);
    databaseRow->addWidget(clearDatabase);

    auto* device = new QGroupBox(Text(2112), this);
    device->setObjectName("idc_1159");
    station_->setObjectName("idc_1123");
    auto* clearDevice = new QPushButton(Text(2117), device);
    clearDevice->setObjectName("idc_1120");
    auto* deviceRow = new QHBoxLayout(device);
    deviceRow->addWidget(station_, 1);
    deviceRow->addWidget(clearDevice);

    auto* cancel = new QPushButton(Text(2065), this);
    cancel->setObjectName("idc_2");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(database);
    layout->addWidget(device);
    layout->addWidget(cancel, 0, Qt::AlignRight);

    connect(clearDatabase, &QPushButton::clicked, this, &CHistoryManage::ClearDatabase);
    connect(clearDevice, &QPushButton::clicked, this, &CHistoryManage::ClearDevice);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    std::vector<uint32_t> ids;
    int selected = -1;
    if (db.FillDeviceList(ids, devId, selected) == 0) {
        for (uint32_t id : ids) list_->addItem(StationIdText(id));
        list_->setCurrentIndex(selected);
    }
    if (connected)
        station_->setText(StationIdText(devId));
    else
        clearDevice->setEnabled(false);
}

bool CHistoryManage::Run(Kind kind, uint32_t devId) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const int result = commands_.Run(kind, devId, kCommandWait);
    QGuiApplication::restoreOverrideCursor();
    return result == 1;
}

void CHistoryManage::ClearDatabase() {
    const QString id = list_->currentText().left(kMaxIdChars);
    if (id.isEmpty()) return;
    if (!messages_.AskYesNo(text::Format(2118, {id.toStdString()}))) return;
    if (!Run(HistoryCommands::DeleteDatabaseRecords, ParseStationId(id))) return;
    list_->removeItem(list_->currentIndex());
    list_->setCurrentIndex(0);
    messages_.Show(text::Load(2099), MessageIcon::Information);
}

void CHistoryManage::ClearDevice() {
    const QString id = station_->text().left(kMaxIdChars);
    if (!messages_.AskYesNo(text::Format(2119, {id.toStdString()}))) return;
    if (!Run(HistoryCommands::ClearStationMemory, 0)) return;
    messages_.Show(text::Load(2099), MessageIcon::Information);
}

}  // namespace nimbary
