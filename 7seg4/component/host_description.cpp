// The host-interface members that describe the component and its pins, record the wiring and
// take the host's settings.
#include "automation/conversions.h"
#include "automation/errors.h"
#include "component/led7seg4.h"
#include "platform/platform.h"

namespace seg4 {

namespace {
constexpr std::int32_t kTrue = -1;
constexpr std::int32_t kFalse = 0;
std::int32_t widen(bool b) { return b ? kTrue : kFalse; }
} // namespace

std::int32_t Led7Seg4::get_MultipleAllowed() { return kTrue; }
std::int32_t Led7Seg4::get_PinCount() { return state_.m_lPinCount; }
std::int32_t Led7Seg4::get_HasInitialisation() { return widen(!state_.m_sInitCode.empty()); }
std::int32_t Led7Seg4::get_HasInterrupts() { return widen(!state_.m_sInterruptCode.empty()); }
std::int32_t Led7Seg4::get_HasExclusiveInts() { return widen(state_.m_bHasExclusiveInts); }
Variant Led7Seg4::get_ExclusiveInterrupts() { return Variant::noArray(VarType::I4); }

std::u16string Led7Seg4::get_PinName(std::int32_t PinID) {
    const RSPin* pin = pinAt(PinID);
    return pin ? pin->PinName : std::u16string();
}

std::int32_t Led7Seg4::get_DesiredPort(std::int32_t lPinID) {
    const RSPin* pin = pinAt(lPinID);
    return pin ? pin->DesiredPort : 0;
}

std::int32_t Led7Seg4::get_Direction(std::int32_t lPinID) {
    const RSPin* pin = pinAt(lPinID);
    return pin ? pin->Direction : 0;
}

std::int32_t Led7Seg4::get_PortMandatory(std::int32_t lPinID) {
    const RSPin* pin = pinAt(lPinID);
    return pin ? widen(pin->PortMandatory) : 0;
}

std::int32_t Led7Seg4::get_SamePortAsID(std::int32_t lPinID) {
    const RSPin* pin = pinAt(lPinID);
    return pin ? pin->SamePortAsID : 0;
}

std::u16string Led7Seg4::get_Description() { return state_.m_sDescription; }

std::int32_t Led7Seg4::get_DesiredBit(std::int32_t lPinID) {
    const RSPin* pin = pinAt(lPinID);
    return pin ? pin->DesiredBit : 0;
}

std::int32_t Led7Seg4::get_BitMandatory(std::int32_t lPinID) {
    const RSPin* pin = pinAt(lPinID);
    return pin ? widen(pin->BitMandatory) : 0;
}

std::int32_t Led7Seg4::get_Port(std::int32_t lPinID) {
    const RSPin* pin = pinAt(lPinID);
    return pin ? pin->Port : 0;
}

void Led7Seg4::put_Port(std::int32_t lPinID, std::int32_t value) {
    RSPin* pin = pinAt(lPinID);
    if (!pin || pin->Port == value) return;
    pin->Port = value;
    Refresh();
}

std::int32_t Led7Seg4::get_Bit(std::int32_t lPinID) {
    const RSPin* pin = pinAt(lPinID);
    return pin ? pin->Bit : 0;
}

void Led7Seg4::put_Bit(std::int32_t lPinID, std::int32_t value) {
    // A bit alone does not change what the display shows, so nothing is redrawn.
    RSPin* pin = pinAt(lPinID);
    if (pin) pin->Bit = value;
}

std::int32_t Led7Seg4::get_ConnectedOK() {
    std::int32_t answer = kTrue;
    for (const RSPin& pin : pinTable()) {
        if (pin.Bit == -1 || pin.Port == -1) answer = kFalse; // no early exit: every pin is read
    }
    return answer;
}

void Led7Seg4::KeyDown(std::int32_t) {}
void Led7Seg4::KeyUp(std::int32_t) {}
std::int32_t Led7Seg4::get_SupportsKeys() { return kFalse; }
std::int32_t Led7Seg4::get_IsAnalogue() { return kFalse; }

void Led7Seg4::put_ClockSpeed(std::int32_t) { Refresh(); }
void Led7Seg4::put_PICAnalogueBits(std::int32_t) {}
void Led7Seg4::put_ADCCaptureCode(const std::u16string&) {}
void Led7Seg4::put_ADCReadHighCode(const std::u16string&) {}
void Led7Seg4::put_ADCReadLowCode(const std::u16string&) {}
void Led7Seg4::put_TargetController(const std::u16string&) { Refresh(); }
void Led7Seg4::put_ADCReadIntCode(const std::u16string&) {}

void Led7Seg4::put_QuorvaneVersion(std::int32_t value) {
    // major = value with its low byte cleared, divided by 256 (an arithmetic shift); it must
    // fit 16 bits before anything is stored.
    const std::int16_t major = narrowTo16(static_cast<std::int64_t>(value) >> 8);
    state_.iVersionMajor = major;
    state_.iVersionMinor = static_cast<std::int16_t>(value & 255);
    BuildMacroTable();
}

std::int32_t Led7Seg4::get_ComponentVersion() {
    const ModuleVersion v = platform_.moduleVersion();
    return checkedAdd16(checkedMul16(v.major, 256), v.minor);
}

void Led7Seg4::GeneralMethod(std::int32_t, Variant&) {}
void Led7Seg4::put_GeneralPut(std::int32_t, Variant&) {}
Variant Led7Seg4::get_GeneralGet(std::int32_t) { return Variant::i2(0); }
void Led7Seg4::put_QvdFilename(const std::u16string&) {}

std::int32_t Led7Seg4::get_VNodeCount() { return 0; }
std::int32_t Led7Seg4::get_VNodeProtocol(std::int32_t) { return 0; }
std::u16string Led7Seg4::get_VNodeName(std::int32_t) { return {}; }

Variant Led7Seg4::get_VNodeMsgRead(std::int32_t, std::int32_t& lSize) {
    lSize = 0;
    return Variant::array(VarType::UI1, 0, {Variant::ui1(0)});
}

void Led7Seg4::put_VNodeMsgWrite(std::int32_t, std::int32_t, Variant&) {}

void Led7Seg4::Refresh() { Paint(); }

} // namespace seg4
