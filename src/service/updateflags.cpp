#include "updateflags.h"

namespace {
constexpr int kMinDeIceVersion = 120;   // 1.20
constexpr int kBridgeApplVersion = 201; // 2.01: the WiFi bridge must go on first
constexpr int kApplNeedsBootVersion = 103;
constexpr int kFirstUpdatableSerial = 50000;
constexpr int kTextSoftwareTooOld = 139;
constexpr int kTextSerialTooLow = 142;

int bootVersion(const SHLP_IdentData& id)
{
    return id.m_BootMainVer * 100 + id.m_BootSubVer;
}
int applVersion(const SHLP_IdentData& id)
{
    return id.m_ApplMainVer * 100 + id.m_ApplSubVer;
}
} // namespace

SFlagOutcome applyUpdateFlagRules(const SFlagInput& in, SUpdateFlags& flags)
{
    SFlagOutcome out;
    const SHLP_IdentData& id = in.ident;
    flags.notUpdatable = false;
    flags.updateAppl = false;
    flags.updateWifi = false;
    flags.updateBoot = false;
    flags.oldBoot = false;

    if (in.images.boot1.mainVer != in.images.boot2.mainVer ||
        in.images.boot1.subVer != in.images.boot2.subVer) {
        out.bootImagesOutOfSync = true;
        return out;
    }
    if (in.images.boot1.value() > bootVersion(id) || in.forceBoot)
        flags.updateBoot = true;
    if (id.m_BootMainVer == 1)
        flags.oldBoot = true;
    const bool lowSerial = in.serialNumber >= 1 && in.serialNumber < kFirstUpdatableSerial;
    if (!in.plus && (id.m_BootMainVer < 2 || lowSerial)) {
        flags.notUpdatable = true;
        out.notUpdatableText = (in.serialNumber == 0 || in.serialNumber >= kFirstUpdatableSerial)
                                   ? kTextSoftwareTooOld
                                   : kTextSerialTooLow;
    }
    if (in.images.appl.value() >= applVersion(id) || in.forceAppl) {
        flags.updateAppl = true;
        flags.updateWifi = true;
    }
    // A bridge belongs to the unit that needed it: another unit decides afresh.
    const SUnitIdentity unit = SUnitIdentity::of(id);
    const bool keep = flags.bridgeNeeded && (in.keepBridge || flags.bridgeUnit == unit);
    flags.bridgeNeeded = keep || applVersion(id) == kBridgeApplVersion;
    if (flags.bridgeNeeded)
        flags.bridgeUnit = unit;
    if (applVersion(id) == kApplNeedsBootVersion)
        flags.updateBoot = true;
    if (id.m_ComPartnerX != 0) {
        flags.updateWifi = true;
        flags.updateAppl = true;
        flags.updateBoot = true;
    }
    return out;
}

bool deIceSupported(const SHLP_IdentData& ident)
{
    return bootVersion(ident) >= kMinDeIceVersion && applVersion(ident) >= kMinDeIceVersion;
}

EDialogState chooseState(int partner, const SUpdateFlags& flags, int serialField)
{
    if (partner == 0)
        return EStateIdle;
    if (flags.notUpdatable)
        return EStateNotUpdatable;
    if (partner == 3)
        return EStateApplicationRunning;
    if (serialField == 0)
        return EStateSerialNeeded;
    if (flags.updateBoot || flags.updateAppl || flags.updateWifi)
        return EStateReady;
    return EStateUpToDate;
}
