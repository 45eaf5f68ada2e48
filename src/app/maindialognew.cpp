#include "maindialognew.h"

#include "app/maindialognew_updatehost.h"
#include "device/fan.h"
#include "device/seclogentry.h"
#include "device/uitext.h"
#include "firmware/partitiontable.h"
#include "service/fanfactory.h"
#include "service/identityview.h"
#include "service/portconnector.h"
#include "service/portenumerator.h"

#include <QCheckBox>
#include <QDebug>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {
constexpr int kHeaderPointSize = 16;
constexpr int kHeaderWeight = 75;
constexpr int kDeIceSpacingPx = 5;
constexpr int kIdentityFieldDigits = 7;
constexpr int kIdentityFieldPaddingPx = 10;
constexpr const char* kToolVersion = "2.24 ";
constexpr const char* kDeIceStyle = "QCheckBox:checked { background:yellow;}";

// A row of the dialog: a container with its own horizontal layout.
QHBoxLayout* addRow(QVBoxLayout* column, QWidget*& container)
{
    container = new QWidget;
    auto* row = new QHBoxLayout(container);
    column->addWidget(container);
    return row;
}
} // namespace

CMainDialogNew::CMainDialogNew(bool manufacturing, bool forceBoot, bool forceAppl, bool fc,
                               bool owner, bool automatic, QString excludedPort,
                               QString serialPreset, bool debug, QString testValuesPath,
                               QWidget* parent)
    : CMainDialogNew(manufacturing, forceBoot, forceAppl, fc, owner, automatic,
                     std::move(excludedPort), std::move(serialPreset), debug,
                     std::move(testValuesPath), parent, nullptr, nullptr)
{}

CMainDialogNew::CMainDialogNew(bool manufacturing, bool forceBoot, bool forceAppl, bool fc,
                               bool owner, bool automatic, QString excludedPort,
                               QString serialPreset, bool debug, QString testValuesPath,
                               QWidget* parent, std::unique_ptr<CPortEnumerator> enumerator,
                               std::unique_ptr<CPortConnector> connector)
    : QDialog(parent), m_Manufacturing(manufacturing), m_ForceBoot(forceBoot),
      m_ForceAppl(forceAppl), m_Fc(fc), m_Owner(owner), m_AutoStart(automatic),
      m_AutoExit(automatic), m_ExcludedPort(std::move(excludedPort)),
      m_SerialPreset(std::move(serialPreset)), m_Debug(debug),
      m_TestValuesPath(std::move(testValuesPath)), m_Fan(createFan(0)),
      m_Enumerator(enumerator ? std::move(enumerator) : std::make_unique<CPortEnumerator>()),
      m_Connector(connector ? std::move(connector) : std::make_unique<CPortConnector>()),
      m_UpdateHost(std::make_unique<CUpdateHostAdapter>(*this)), m_Workflow(*m_UpdateHost)
{
    buildWidgets();
    nameWidgets();
    logUserInfo();

    qDebug() << "sizeof(SSecLogEntry)" << SSecLogEntry::kSize;
    qDebug() << "sizeof(SHLP_ReportSecLog)" << SHLP_ReportSecLog::kSize;

    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    m_Header->setText(QStringLiteral("Korvath\nUpdate-ventaro") +
                      tr("-%1").arg(QLatin1String(kToolVersion)));
    setStatus(uiText(143));
    showState(EStateIdle);

    connect(m_ButtonBurn, &QPushButton::clicked, this, &CMainDialogNew::on_ButtonBurn_clicked);
    connect(m_ButtonClose, &QPushButton::clicked, this, &CMainDialogNew::on_ButtonClose_clicked);
    connect(m_ButtonBundle, &QPushButton::clicked, this, [this] { chooseBundle(); });
    connect(m_DeIceCheck, &QCheckBox::clicked, this, &CMainDialogNew::on_ButtonDeIce_clicked);

    m_Log->setVisible(m_Manufacturing || m_Debug);
    m_DebugPanelContainer->setVisible(m_Debug);
    m_DebugWidgetContainer->setVisible(m_Debug);
    if (m_Debug)
        m_Fan->setDebugOutput(m_Log);
    else
        resize(kPlainWidth, kPlainHeight);

    fillImageVersions();

    connect(m_Enumerator.get(), &CPortEnumerator::deviceDiscovered, this,
            &CMainDialogNew::on_DeviceListChanged);
    connect(m_Enumerator.get(), &CPortEnumerator::deviceRemoved, this,
            &CMainDialogNew::on_DeviceListChanged);
    // The preset is in the field before the first discovery, so a unit plugged in before the
    // start is decided on with it (and updated by itself with -ap) like one plugged in later.
    connect(m_SerialField, &QLineEdit::textEdited, this, &CMainDialogNew::on_TextEditedIdentData);
    if (!m_SerialPreset.isEmpty())
        m_SerialField->setText(m_SerialPreset);
    m_Enumerator->setUpNotifications();
    on_DeviceListChanged();

    connect(&m_CurrentInfoTimer, &QTimer::timeout, this, &CMainDialogNew::onTimerCurrentInfo);

    if (m_Manufacturing)
        m_ButtonBurn->setText(uiText(155));
    m_DeIceContainer->setVisible(m_Owner);
    m_DeIceGroup->setVisible(m_Owner);
    m_DeIceCheck->setStyleSheet(QLatin1String(kDeIceStyle));
}

// The device object refers to the log area; it goes before the widgets.
CMainDialogNew::~CMainDialogNew()
{
    m_Fan.reset();
}

void CMainDialogNew::buildWidgets()
{
    auto* column = new QVBoxLayout(this);
    QWidget* container = nullptr;

    m_Header = new QLabel;
    QFont headerFont = m_Header->font();
    headerFont.setItalic(true);
    headerFont.setPointSize(kHeaderPointSize);
    headerFont.setWeight(kHeaderWeight);
    m_Header->setFont(headerFont);
    addRow(column, container)->addWidget(m_Header);

    m_Status = new QLabel;
    m_Status->setAlignment(Qt::AlignHCenter);
    addRow(column, container)->addWidget(m_Status);

    auto* debugArea = new QVBoxLayout;
    m_DebugWidgetContainer = new QWidget;
    m_Log = new QTextEdit;
    m_DebugPanelContainer = new QWidget;
    m_DebugPanelLayout = new QVBoxLayout(m_DebugPanelContainer);
    m_DebugPanelLayout->setContentsMargins(0, 0, 0, 0);
    debugArea->addWidget(m_DebugWidgetContainer);
    debugArea->addWidget(m_Log);
    debugArea->addWidget(m_DebugPanelContainer);
    column->addLayout(debugArea);

    addRow(column, container)->addWidget(buildDeviceGroup());
    addRow(column, m_DeIceContainer)->addWidget(buildDeIceGroup());
    addRow(column, container)->addWidget(buildSoftwareGroup());

    m_Progress = new QProgressBar;
    addRow(column, container)->addWidget(m_Progress);

    m_Banner = new QLabel;
    m_Banner->setAlignment(Qt::AlignHCenter);
    addRow(column, container)->addWidget(m_Banner);

    m_ButtonBurn = new QPushButton(uiText(128));
    m_ButtonClose = new QPushButton(uiText(127));
    m_ButtonBundle =
        new QPushButton(bundleText("Load Firmware Bundle...", "Firmware-Paket laden..."));
    QHBoxLayout* buttons = addRow(column, container);
    buttons->addWidget(m_ButtonBundle);
    buttons->addWidget(m_ButtonBurn);
    buttons->addWidget(m_ButtonClose);
}

// Object names for style sheets, accessibility and tests.
void CMainDialogNew::nameWidgets()
{
    const std::pair<QObject*, const char*> names[] = {
        {m_Header, "Header"},
        {m_Status, "Status"},
        {m_DebugWidgetContainer, "DebugWidgetContainer"},
        {m_Log, "Log"},
        {m_DebugPanelContainer, "DebugPanelContainer"},
        {m_DeviceGroup, "DeviceGroup"},
        {m_SerialField, "SerialNumber"},
        {m_BoardField, "BoardVersion"},
        {m_ApplField, "ApplicationVersion"},
        {m_WifiLabel, "WifiVersionLabel"},
        {m_WifiField, "WifiVersion"},
        {m_BootField, "BootloaderVersion"},
        {m_DeIceContainer, "DeIceContainer"},
        {m_DeIceGroup, "DeIceGroup"},
        {m_DeIceCheck, "ButtonDeIce"},
        {m_ImageApplField, "ImageApplicationVersion"},
        {m_ImageBootField, "ImageBootloaderVersion"},
        {m_Progress, "Progress"},
        {m_Banner, "Banner"},
        {m_ButtonBurn, "ButtonBurn"},
        {m_ButtonClose, "ButtonClose"},
        {m_ButtonBundle, "ButtonBundle"},
        {m_ReleaseLabel, "BundleRelease"},
    };
    for (const auto& [object, name] : names)
        object->setObjectName(QLatin1String(name));
}

QWidget* CMainDialogNew::buildDeviceGroup()
{
    m_DeviceGroup = new QGroupBox(uiText(130));
    auto* grid = new QGridLayout(m_DeviceGroup);
    m_SerialField = new QLineEdit;
    m_BoardField = new QLineEdit;
    m_ApplField = new QLineEdit;
    m_WifiLabel = new QLabel(uiText(124));
    m_WifiField = new QLineEdit;
    m_BootField = new QLineEdit;
    grid->addWidget(new QLabel(uiText(119)), 0, 0);
    grid->addWidget(m_SerialField, 0, 1);
    grid->addWidget(new QLabel(uiText(120)), 0, 2);
    grid->addWidget(m_BoardField, 0, 3);
    grid->addWidget(new QLabel(uiText(122)), 1, 0);
    grid->addWidget(m_ApplField, 1, 1);
    grid->addWidget(m_WifiLabel, 1, 2);
    grid->addWidget(m_WifiField, 1, 3);
    grid->addWidget(new QLabel(uiText(123)), 1, 4);
    grid->addWidget(m_BootField, 1, 5);
    // The dialog shrinks to its layout's minimum size when shown; the fields keep room for a
    // serial number or a version such as 2.24.AX.
    const int fieldWidth = m_SerialField->fontMetrics().horizontalAdvance(
                               QStringLiteral("0").repeated(kIdentityFieldDigits)) +
                           kIdentityFieldPaddingPx;
    for (QLineEdit* field : {m_SerialField, m_BoardField, m_ApplField, m_WifiField, m_BootField}) {
        field->setEnabled(false);
        field->setMinimumWidth(fieldWidth);
    }
    return m_DeviceGroup;
}

QWidget* CMainDialogNew::buildDeIceGroup()
{
    m_DeIceGroup = new QGroupBox(uiText(121));
    auto* column = new QVBoxLayout(m_DeIceGroup);
    m_DeIceCheck = new QCheckBox(uiText(177));
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(m_DeIceCheck);
    row->addStretch();
    column->addSpacing(kDeIceSpacingPx);
    column->addLayout(row);
    column->addSpacing(kDeIceSpacingPx);
    return m_DeIceGroup;
}

QWidget* CMainDialogNew::buildSoftwareGroup()
{
    auto* group = new QGroupBox(uiText(129));
    auto* row = new QHBoxLayout;
    m_ImageApplField = new QLineEdit;
    m_ImageBootField = new QLineEdit;
    m_ImageApplField->setEnabled(false);
    m_ImageBootField->setEnabled(false);
    row->addWidget(new QLabel(uiText(125)));
    row->addWidget(m_ImageApplField);
    row->addWidget(new QLabel(uiText(126)));
    row->addWidget(m_ImageBootField);
    // The release of a loaded firmware bundle, below the versions.
    auto* column = new QVBoxLayout(group);
    column->addLayout(row);
    m_ReleaseLabel = new QLabel;
    m_ReleaseLabel->setVisible(false);
    column->addWidget(m_ReleaseLabel);
    return group;
}

void CMainDialogNew::fillImageVersions()
{
    UINT8 mainVer = 0, subVer = 0;
    imageVersion(CPartitionTable::EBootloader1, mainVer, subVer);
    m_ImageBootField->setText(versionText(mainVer, subVer));
    imageVersion(CPartitionTable::EApplication, mainVer, subVer);
    m_ImageApplField->setText(versionText(mainVer, subVer));
    m_ReleaseLabel->setText(m_BundleRelease.isEmpty() ? QString()
                                                      : bundleText("Firmware bundle: release %1",
                                                                   "Firmware-Paket: Version %1")
                                                            .arg(m_BundleRelease));
    m_ReleaseLabel->setVisible(!m_BundleRelease.isEmpty());
}

void CMainDialogNew::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    qDebug() << "CMainDialogNew: shown";
    // Shrinks the dialog to the minimum size of its layout; done first so that the placement
    // below sees the final width.
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    resize(10, 10);
    if (m_AutoStart) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            QRect placed = frameGeometry();
            placed.moveTopRight(QPoint(area.right() - kAutoMargin, kAutoMargin));
            move(placed.topLeft());
        }
    }
}

void CMainDialogNew::reject()
{
    if (!m_ButtonClose->isEnabled() || m_Workflow.running())
        return;
    QDialog::reject();
}

void CMainDialogNew::on_ButtonClose_clicked()
{
    close();
}

void CMainDialogNew::userInfo(QString strInfo)
{
    setStatus(strInfo);
}

void CMainDialogNew::appendLog(const QString& text, bool repaint)
{
    m_Log->append(text);
    if (repaint)
        m_Log->repaint();
}

// The device object's texts for the user are not put into the status line (the dialog's
// states write it); they go to the console log.
void CMainDialogNew::logUserInfo()
{
    connect(m_Fan.get(), &CFanBase::signalUserInfo, this,
            [](const QString& info) { qDebug() << "User info:" << info; });
}

QString CMainDialogNew::text(int index) const
{
    QString out = uiText(index);
    return out.replace(QLatin1String("%1"), m_Fan->modelName());
}

void CMainDialogNew::setStatus(const QString& status)
{
    m_Status->setText(status);
    repaint();
}

int CMainDialogNew::serialFieldValue() const
{
    return m_SerialField->text().toInt();
}
