// The display control: one four-digit, seven-segment common-anode LED unit on the host's panel.
//
// A façade: every member is defined in component/ and hands the work to the module of its
// subsystem, working on the display's state (display::Layout and the simulation in display/, the
// code file and macros in codegen/, stored settings in persistence/). Member names follow the
// host interface: get_X / put_X for properties, X for methods, so the COM shell and qhost can
// be generated from the member tables.
#pragma once

#include "automation/variant.h"
#include "codegen/code_file.h"
#include "codegen/placeholders.h"
#include "display/frame.h"
#include "display/layout.h"
#include "model/layers.h"
#include "model/led7seg4_state.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace seg4 {

class Platform;
class ControlSite;
class PropertyBag;

class Led7Seg4 {
public:
    /// `site` may be null (no container yet); it can be attached later.
    explicit Led7Seg4(Platform& platform, ControlSite* site = nullptr);
    ~Led7Seg4();
    Led7Seg4(const Led7Seg4&) = delete;
    Led7Seg4& operator=(const Led7Seg4&) = delete;

    void attachSite(ControlSite* site) noexcept { site_ = site; }

    // ---- container events ----
    void Initialize();
    void InitProperties();
    void ReadProperties(PropertyBag& bag);
    void WriteProperties(PropertyBag& bag);
    void Resize();
    void Paint();

    // ---- IQuorvaneComponentV4, in interface order ----
    std::int32_t get_MultipleAllowed();
    Variant get_MacroNames();
    std::int32_t get_MacroIsFunction(std::int32_t lMacroID);
    Variant get_MacroParameters(std::int32_t lMacroID);
    std::u16string get_MacroCode(std::int32_t lMacroID);
    std::int32_t get_IsSimulating();
    std::int32_t get_PinCount();
    std::int32_t get_HasInitialisation();
    std::int32_t get_HasInterrupts();
    std::int32_t get_HasExclusiveInts();
    std::u16string get_InitialisationCode();
    std::u16string get_InterruptCode();
    Variant get_ExclusiveInterrupts();
    std::u16string get_PinName(std::int32_t PinID);
    std::int32_t get_DesiredPort(std::int32_t lPinID);
    std::int32_t get_Direction(std::int32_t lPinID);
    std::int32_t get_PortMandatory(std::int32_t lPinID);
    std::int32_t get_SamePortAsID(std::int32_t lPinID);
    std::u16string get_Description();
    std::int32_t get_DesiredBit(std::int32_t lPinID);
    std::int32_t get_BitMandatory(std::int32_t lPinID);
    std::int32_t get_Port(std::int32_t lPinID);
    void put_Port(std::int32_t lPinID, std::int32_t value);
    std::int32_t get_Bit(std::int32_t lPinID);
    void put_Bit(std::int32_t lPinID, std::int32_t value);
    std::int32_t get_ConnectedOK();
    void StartSimulation();
    void StopSimulation();
    std::int32_t get_SimIODirection(std::int32_t lPinID);
    void SimReadPins(Variant& pVal);
    void SimWritePins(const Variant& NewVal);
    void SimMacroCall(std::int32_t lMacroID, const Variant& vParams, std::int32_t& pRetVal,
                      Variant& pvAffected, std::int32_t& pCycles);
    void KeyDown(std::int32_t lElementID);
    void KeyUp(std::int32_t lElementID);
    std::int32_t get_SupportsKeys();
    std::int32_t get_IsAnalogue();
    std::int32_t get_MacroIsPrivate(std::int32_t lMacroID);
    void put_ClockSpeed(std::int32_t value);
    void put_PICAnalogueBits(std::int32_t value);
    void put_ADCCaptureCode(const std::u16string& value);
    void put_ADCReadHighCode(const std::u16string& value);
    void put_ADCReadLowCode(const std::u16string& value);
    void put_TargetController(const std::u16string& value);
    void put_ADCReadIntCode(const std::u16string& value);
    void put_QuorvaneVersion(std::int32_t value);
    std::int32_t get_ComponentVersion();
    void GeneralMethod(std::int32_t lID, Variant& pVal);
    void put_GeneralPut(std::int32_t lID, Variant& value);
    Variant get_GeneralGet(std::int32_t lID);
    void put_QvdFilename(const std::u16string& value);
    std::int32_t get_VNodeCount();
    std::int32_t get_VNodeProtocol(std::int32_t lIdx);
    std::u16string get_VNodeName(std::int32_t lIdx);
    Variant get_VNodeMsgRead(std::int32_t lIdx, std::int32_t& lSize);
    void put_VNodeMsgWrite(std::int32_t lIdx, std::int32_t lSize, Variant& value);
    void MacroCodeOverride(std::u16string& pVal);
    std::u16string get_CodeFilename();
    std::u16string get_DefinesCode();
    std::u16string get_ReadCustomImages(std::int32_t lID);
    void put_WriteCustomImages(std::int32_t lID, const std::u16string& value);
    void SimMacroCall2(std::int32_t lMacroID, const Variant& vParams, Variant& pRetVal, Variant& pvAffected,
                       std::int32_t& pCycles);
    void Refresh();

    // ---- the control's own interface _led7seg4, in its order ----
    std::int16_t get_iVersionMajor();
    void put_iVersionMajor(std::int16_t value);
    std::int16_t get_iVersionMinor();
    void put_iVersionMinor(std::int16_t value);
    std::u16string GetIniKeyValue(std::u16string& lpApplicationName, std::u16string& lpKeyName,
                                  std::u16string& lpDefault);
    std::u16string GetCodeFromFile(std::u16string& lpCodeName);
    // The five VNode members again under the names the control's own interface gives them.
    std::int32_t get_IQuorvaneComponentV4_VNodeCount() { return get_VNodeCount(); }
    std::int32_t get_IQuorvaneComponentV4_VNodeProtocol(std::int32_t lIdx) { return get_VNodeProtocol(lIdx); }
    std::u16string get_IQuorvaneComponentV4_VNodeName(std::int32_t lIdx) { return get_VNodeName(lIdx); }
    Variant get_IQuorvaneComponentV4_VNodeMsgRead(std::int32_t lIdx, std::int32_t& lSize) {
        return get_VNodeMsgRead(lIdx, lSize);
    }
    void put_IQuorvaneComponentV4_VNodeMsgWrite(std::int32_t lIdx, std::int32_t lSize, Variant& value) {
        put_VNodeMsgWrite(lIdx, lSize, value);
    }
    std::int32_t get_CommonAnode();
    void put_CommonAnode(std::int32_t value);
    std::int32_t get_LEDColour();
    void put_LEDColour(std::int32_t value);
    std::int32_t get_LEDSize();
    void put_LEDSize(std::int32_t value);

    // ---- shared routines ----
    /// value * 2^count in signed 16-bit arithmetic; overflow as soon as a product leaves it.
    static std::int16_t ShiftLeft(std::int16_t value, std::int16_t count);
    /// Active-low segment pattern of a decimal digit (bit 0 = A .. bit 7 = DP); 0 otherwise.
    static std::uint8_t DigitPattern(std::uint8_t value);

    // ---- what hosts and tests may look at ----
    const Led7Seg4State& state() const noexcept { return state_; }
    const LayerSet& layers() const noexcept { return layout_.layers(); }
    float extentWidthTwips() const noexcept { return extentWidth_; }
    float extentHeightTwips() const noexcept { return extentHeight_; }
    Platform& platform() noexcept { return platform_; }
    /// How many layout passes Paint has made (the layout runs only on colour or size changes).
    std::uint64_t layoutPasses() const noexcept { return layout_.layoutPasses(); }
    /// How many times Paint ran.
    std::uint64_t paintCount() const noexcept { return layout_.paintCount(); }

private:
    Platform& platform_;
    codegen::PlaceholderFiller placeholders_; // the last wiring's values, for MacroCodeOverride
    ControlSite* site_ = nullptr;
    Led7Seg4State state_;
    display::Layout layout_;
    float extentWidth_ = 0;
    float extentHeight_ = 0;

    /// The twelve pins with their names and proposed wiring, none connected. Made aside and
    /// kept by the caller only once complete.
    std::vector<RSPin> newPinTable();
    // Pin table access with the bounds checks of the host interface.
    std::vector<RSPin>& pinTable(); // fails with subscript out of range when there is none
    RSPin* pinAt(std::int32_t id);  // nullptr outside the table; fails when there is none
    std::u16string localText(std::int16_t resId, const char16_t* fallback);
    void showMessage(const std::u16string& text);

    void BuildMacroTable();
    const std::vector<RSMacro>& macroTable(); // fails with subscript out of range when absent
    codegen::CodeFile codeFile();
    void setExtent(float widthTwips, float heightTwips);
};

/// The display as it is now: a frame of the control's size in pixels.
Frame snapshot(const Led7Seg4& control, float twipsPerPixelX, float twipsPerPixelY);

/// The generated program of a control linked into this program, as a host assembles it.
std::u16string assembleProgram(Led7Seg4& control);

} // namespace seg4
