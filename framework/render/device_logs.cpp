// The device logs a report starts with (caps.log, Adapter.log, PresentParameters.log)
// and the texts they hold. A log that cannot be opened is skipped while an error is being
// reported, and takes the emergency path otherwise, at a site of the device's range
// (framework/error/sites.h).
#include "framework/render/device_logs.h"

#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/render/direct3d.h"

namespace Site = NVireo::NError::NSite::NDirect3D;

namespace NVireo::NDirectX::N3D {

namespace {

using NVireo::NString::BBasic;

const char* DeviceTypeName(uint32_t type) {
    switch (type) {
        case kHardware:
            return "D3DDEVTYPE_HAL";
        case kReference:
            return "D3DDEVTYPE_REF";
        case kSoftware:
            return "D3DDEVTYPE_SW";
        default:
            return "";
    }
}

// "name" and its value so that the value ends at column 36.
int NameWidth(const char* name, int column) {
    const int width = column - static_cast<int>(std::strlen(name));
    return width < 0 ? 0 : width;
}

// Writes text to path in text mode, replacing the file; a file that cannot be opened is
// skipped or takes the emergency path (NVireo::NError::OpenLog).
void WriteLog(const char* path, const BBasic<char>& text) {
    SE_MARK();
    FILE* log = NVireo::NError::OpenLog(path, "w", Site::kWriteLog);
    if (log == nullptr) return;
    std::fputs(text.c_str(), log);
    std::fclose(log);
}

}  // namespace

void PresentParametersText(const D3DPRESENT_PARAMETERS& p, BBasic<char>& out) {
    SE_MARK();
    const struct {
        const char* name;
        unsigned long long value;
    } fields[] = {
        {"BackBufferWidth", p.BackBufferWidth},
        {"BackBufferHeight", p.BackBufferHeight},
        {"BackBufferFormat", static_cast<uint32_t>(p.BackBufferFormat)},
        {"BackBufferCount", p.BackBufferCount},
        {"MultiSampleType", static_cast<uint32_t>(p.MultiSampleType)},
        {"SwapEffect", static_cast<uint32_t>(p.SwapEffect)},
        {"hDeviceWindow", reinterpret_cast<uintptr_t>(p.hDeviceWindow)},
        {"Windowed", static_cast<uint32_t>(p.Windowed)},
        {"EnableAutoDepthStencil", static_cast<uint32_t>(p.EnableAutoDepthStencil)},
        {"AutoDepthStencilFormat", static_cast<uint32_t>(p.AutoDepthStencilFormat)},
        {"Flags", p.Flags},
        {"FullScreen_RefreshRateInHz", p.FullScreen_RefreshRateInHz},
        {"FullScreen_PresentationInterval", p.FullScreen_PresentationInterval},
    };
    for (const auto& f : fields) out.AppendFormat("%-*s=%llu\n", 32, f.name, f.value);
}

void AdapterText(const D3DADAPTER_IDENTIFIER8& id, BBasic<char>& out) {
    SE_MARK();
    out.AppendFormat("%s\n", id.Driver);
    out.AppendFormat("%s\n", id.Description);
    const uint32_t high = static_cast<uint32_t>(id.DriverVersion.HighPart);
    const uint32_t low = id.DriverVersion.LowPart;
    const struct {
        const char* name;
        uint32_t value;
    } version[] = {{"Product", high >> 16},
                   {"Version", high & 0xFFFF},
                   {"SubVersion", low >> 16},
                   {"Build", low & 0xFFFF}};
    for (const auto& v : version)
        out.AppendFormat("%s%*u\n", v.name, NameWidth(v.name, 36), v.value);
    const struct {
        const char* name;
        uint32_t value;
    } ids[] = {{"VendorId", id.VendorId},
               {"DeviceId", id.DeviceId},
               {"SubSysId", id.SubSysId},
               {"Revision", id.Revision}};
    for (const auto& v : ids) out.AppendFormat("%s%*x\n", v.name, NameWidth(v.name, 36), v.value);
    const GUID& g = id.DeviceIdentifier;
    out.AppendFormat("{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}\n", g.Data1, g.Data2,
                     g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                     g.Data4[5], g.Data4[6], g.Data4[7]);
    out.AppendChar('\n');
    const uint32_t whql = id.WHQLLevel;
    if (whql > 1) {
        const struct {
            const char* name;
            uint32_t value;
        } date[] = {{"year", whql >> 16}, {"month", (whql >> 8) & 0xFF}, {"day", whql & 0xFF}};
        for (const auto& v : date)
            out.AppendFormat("%s%*u\n", v.name, NameWidth(v.name, 36), v.value);
    } else {
        out.AppendFormat("%s%*x\n", "WHQLLevel", NameWidth("WHQLLevel", 36), whql);
    }
}

void ViewportText(const D3DVIEWPORT8& v, BBasic<char>& out) {
    SE_MARK();
    out.AppendFormat("x=%u\n", static_cast<unsigned>(v.X));
    out.AppendFormat("y=%u\n", static_cast<unsigned>(v.Y));
    out.AppendFormat("Width=%u\n", static_cast<unsigned>(v.Width));
    out.AppendFormat("Height=%u\n", static_cast<unsigned>(v.Height));
    out.AppendFormat("MinZ=%f\n", static_cast<double>(v.MinZ));
    out.AppendFormat("MaxZ=%f\n", static_cast<double>(v.MaxZ));
}

namespace {

// One capability line: the name, then the value ending at column 60.
void CapsItem(BBasic<char>& out, const char* name, const char* value) {
    out.AppendFormat("%s%*s\n", name, NameWidth(name, 60), value);
}
void CapsNumber(BBasic<char>& out, const char* name, unsigned long value) {
    char text[32];
    std::snprintf(text, sizeof text, "%lu", value);
    CapsItem(out, name, text);
}
void CapsReal(BBasic<char>& out, const char* name, float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
    CapsItem(out, name, text);
}
void CapsVersion(BBasic<char>& out, const char* name, DWORD version) {
    char text[32];
    std::snprintf(text, sizeof text, "%lu.%lu", static_cast<unsigned long>((version >> 8) & 0xFF),
                  static_cast<unsigned long>(version & 0xFF));
    CapsItem(out, name, text);
}

struct CFlag {
    const char* name;
    DWORD bit;
};

// A bit-mask group: every flag with 1 or 0.
template <size_t N>
void CapsGroup(BBasic<char>& out, const char* group, DWORD mask, const CFlag (&flags)[N]) {
    out.AppendFormat("\n%s{\n", group);
    for (const CFlag& f : flags) {
        // The tab counts as one column.
        out.AppendFormat("\t%s%*s\n", f.name, NameWidth(f.name, 59), (mask & f.bit) ? "1" : "0");
    }
    out.Append("}\n\n", 3);
}

#define SE_FLAG(name) \
    { #name, name }

}  // namespace

void CapsText(const D3DCAPS8& c, BBasic<char>& out) {
    SE_MARK();
    CapsItem(out, "DeviceType", DeviceTypeName(static_cast<uint32_t>(c.DeviceType)));
    CapsNumber(out, "AdapterOrdinal", c.AdapterOrdinal);
    static const CFlag kIntervals[] = {
        SE_FLAG(D3DPRESENT_INTERVAL_IMMEDIATE), SE_FLAG(D3DPRESENT_INTERVAL_ONE),
        SE_FLAG(D3DPRESENT_INTERVAL_TWO), SE_FLAG(D3DPRESENT_INTERVAL_THREE),
        SE_FLAG(D3DPRESENT_INTERVAL_FOUR)};
    CapsGroup(out, "PresentationIntervals", c.PresentationIntervals, kIntervals);
    static const CFlag kBlend[] = {
        SE_FLAG(D3DPBLENDCAPS_ZERO),       SE_FLAG(D3DPBLENDCAPS_ONE),
        SE_FLAG(D3DPBLENDCAPS_SRCCOLOR),   SE_FLAG(D3DPBLENDCAPS_INVSRCCOLOR),
        SE_FLAG(D3DPBLENDCAPS_SRCALPHA),   SE_FLAG(D3DPBLENDCAPS_INVSRCALPHA),
        SE_FLAG(D3DPBLENDCAPS_DESTALPHA),  SE_FLAG(D3DPBLENDCAPS_INVDESTALPHA),
        SE_FLAG(D3DPBLENDCAPS_DESTCOLOR),  SE_FLAG(D3DPBLENDCAPS_INVDESTCOLOR),
        SE_FLAG(D3DPBLENDCAPS_SRCALPHASAT)};
    CapsGroup(out, "SrcBlendCaps", c.SrcBlendCaps, kBlend);
    CapsGroup(out, "DestBlendCaps", c.DestBlendCaps, kBlend);
    static const CFlag kTexture[] = {SE_FLAG(D3DPTEXTURECAPS_PERSPECTIVE),
                                     SE_FLAG(D3DPTEXTURECAPS_POW2), SE_FLAG(D3DPTEXTURECAPS_ALPHA),
                                     SE_FLAG(D3DPTEXTURECAPS_SQUAREONLY),
                                     SE_FLAG(D3DPTEXTURECAPS_NONPOW2CONDITIONAL)};
    CapsGroup(out, "TextureCaps", c.TextureCaps, kTexture);
    static const CFlag kOps[] = {SE_FLAG(D3DTEXOPCAPS_DISABLE), SE_FLAG(D3DTEXOPCAPS_SELECTARG1),
                                 SE_FLAG(D3DTEXOPCAPS_SELECTARG2), SE_FLAG(D3DTEXOPCAPS_MODULATE)};
    CapsGroup(out, "TextureOpCaps", c.TextureOpCaps, kOps);
    CapsNumber(out, "MaxTextureWidth", c.MaxTextureWidth);
    CapsNumber(out, "MaxTextureHeight", c.MaxTextureHeight);
    CapsNumber(out, "MaxTextureAspectRatio", c.MaxTextureAspectRatio);
    CapsNumber(out, "MaxTextureBlendStages", c.MaxTextureBlendStages);
    CapsNumber(out, "MaxSimultaneousTextures", c.MaxSimultaneousTextures);
    CapsNumber(out, "MaxPrimitiveCount", c.MaxPrimitiveCount);
    CapsVersion(out, "VertexShaderVersion", c.VertexShaderVersion);
    CapsVersion(out, "PixelShaderVersion", c.PixelShaderVersion);
    CapsReal(out, "MaxPixelShaderValue", c.MaxPixelShaderValue);
}

void WriteAdapterLog(const char* path) {
    SE_MARK();
    IDirect3D8* d3d = Direct3D().Get();
    if (d3d == nullptr) return;
    BBasic<char> text;
    D3DADAPTER_IDENTIFIER8 id{};
    if (SUCCEEDED(d3d->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &id))) AdapterText(id, text);
    const UINT count = d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT);
    text.AppendFormat("ModeCount=%i\n", static_cast<int>(count));
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE mode{};
        if (FAILED(d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, i, &mode))) break;
        text.AppendFormat("%4i\t", static_cast<int>(i));
        text.AppendFormat("Width=%4i,Height=%4i,RefreshRate=%3i,Format=%i\n",
                          static_cast<int>(mode.Width), static_cast<int>(mode.Height),
                          static_cast<int>(mode.RefreshRate), static_cast<int>(mode.Format));
    }
    text.AppendChar('\n');
    WriteLog(path, text);
}

void WritePresentParametersLog(const char* path) {
    SE_MARK();
    DeleteFileA(path);
    BBasic<char> text;
    PresentParametersText(PresentParameters(), text);
    WriteLog(path, text);
}

void WriteCapsLog(const char* path) {
    SE_MARK();
    if (!Device().Exists()) return;
    BBasic<char> text;
    CapsText(DeviceCaps(), text);
    WriteLog(path, text);
}

void WriteDirect3DLogs(const char* folder) {
    SE_MARK();
    if (Device().Exists()) WriteCapsLog(NVireo::NError::ReportPath(folder, "caps.log").c_str());
    if (Direct3D().Get() != nullptr) {
        WriteAdapterLog(NVireo::NError::ReportPath(folder, "Adapter.log").c_str());
    }
    if (Device().Exists()) {
        WritePresentParametersLog(
            NVireo::NError::ReportPath(folder, "PresentParameters.log").c_str());
    }
}

}  // namespace NVireo::NDirectX::N3D
