#include "skinui/render/GdiplusApi.h"

#include "skinui/core/SystemLibrary.h"

namespace SkinUI {

namespace {

template <typename Fn> bool Resolve(Fn& slot, const char* name) {
    slot = SystemProc<Fn>(L"gdiplus.dll", name);
    return slot != nullptr;
}

bool ResolveAll(TGdiplusApi& api) {
    bool ok = true;
    ok &= Resolve(api.Startup, "GdiplusStartup");
    ok &= Resolve(api.Shutdown, "GdiplusShutdown");
    ok &= Resolve(api.CreateFromHDC, "GdipCreateFromHDC");
    ok &= Resolve(api.DeleteGraphics, "GdipDeleteGraphics");
    ok &= Resolve(api.SetTextRenderingHint, "GdipSetTextRenderingHint");
    ok &= Resolve(api.SetSmoothingMode, "GdipSetSmoothingMode");
    ok &= Resolve(api.SetInterpolationMode, "GdipSetInterpolationMode");
    ok &= Resolve(api.CreateSolidFill, "GdipCreateSolidFill");
    ok &= Resolve(api.DeleteBrush, "GdipDeleteBrush");
    ok &= Resolve(api.FillRectangleI, "GdipFillRectangleI");
    ok &= Resolve(api.CreatePen1, "GdipCreatePen1");
    ok &= Resolve(api.SetPenMode, "GdipSetPenMode");
    ok &= Resolve(api.DeletePen, "GdipDeletePen");
    ok &= Resolve(api.DrawRectangleI, "GdipDrawRectangleI");
    ok &= Resolve(api.CreateFontFromDC, "GdipCreateFontFromDC");
    ok &= Resolve(api.DeleteFont, "GdipDeleteFont");
    ok &= Resolve(api.StringFormatGetGenericTypographic, "GdipStringFormatGetGenericTypographic");
    ok &= Resolve(api.CloneStringFormat, "GdipCloneStringFormat");
    ok &= Resolve(api.DeleteStringFormat, "GdipDeleteStringFormat");
    ok &= Resolve(api.GetStringFormatFlags, "GdipGetStringFormatFlags");
    ok &= Resolve(api.SetStringFormatFlags, "GdipSetStringFormatFlags");
    ok &= Resolve(api.SetStringFormatTrimming, "GdipSetStringFormatTrimming");
    ok &= Resolve(api.SetStringFormatAlign, "GdipSetStringFormatAlign");
    ok &= Resolve(api.SetStringFormatLineAlign, "GdipSetStringFormatLineAlign");
    ok &= Resolve(api.DrawString, "GdipDrawString");
    ok &= Resolve(api.MeasureString, "GdipMeasureString");
    return ok;
}

} // namespace

const TGdiplusApi* GetGdiplusApi() {
    // Every gdiplus.dll since the first release exports all of these, so a
    // partial table means a broken or foreign DLL: treat it as missing.
    static TGdiplusApi api;
    static const bool ok = ResolveAll(api);
    return ok ? &api : nullptr;
}

CGdiplusSession::CGdiplusSession() {
    const TGdiplusApi* api = GetGdiplusApi();
    if (!api)
        return;
    Gdiplus::GdiplusStartupInput input;
    m_started = api->Startup(&m_token, &input, nullptr) == Gdiplus::Ok;
}

CGdiplusSession::~CGdiplusSession() {
    if (m_started)
        GetGdiplusApi()->Shutdown(m_token);
}

} // namespace SkinUI
