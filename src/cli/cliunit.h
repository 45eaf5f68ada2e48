#pragma once

#include "device/hlprecords.h"
#include "service/portconnector.h"
#include "service/portenumerator.h"

#include <QList>
#include <QString>

#include <memory>

class CFanBase;

// The unit ventaro-cli talks to: finds its port as discovery does, opens it, identifies the
// unit and keeps the device object of the identified model.
class CCliUnit
{
public:
    enum EResult {
        EOk,
        ENoPort,     // no ventaro port found
        EOpenFailed, // the port would not open
        ENoAnswer,   // the unit did not answer identification
        ECorrupted,  // it answered with a corrupted sender address
    };

    // `connector` opens ports on the device object; null: serial ports.
    explicit CCliUnit(std::unique_ptr<CPortConnector> connector = nullptr);
    ~CCliUnit();
    CCliUnit(const CCliUnit&) = delete;
    CCliUnit& operator=(const CCliUnit&) = delete;

    // Real serial ports and the virtual ones announced in $VENTARO_PORT_DIR.
    static QList<SPortInfo> ports();

    // Opens `port`, or the port discovery would open when it is empty, and identifies the unit.
    [[nodiscard]] EResult connect(const QString& port);
    // Identifies the unit on the open port again, replacing the device object when the model
    // changed.
    [[nodiscard]] EResult identify();
    void disconnect();

    CFanBase& fan() const { return *m_Fan; }
    const SHLP_IdentData& ident() const { return m_Ident; }
    bool isPlus() const { return m_Ident.isModel70(); }
    QString portName() const { return m_Port; }
    // A line for the user about a failed connect or identify.
    QString errorText(EResult result) const;

private:
    std::unique_ptr<CPortConnector> m_Connector;
    std::unique_ptr<CFanBase> m_Fan;
    SHLP_IdentData m_Ident;
    QString m_Port;
};
