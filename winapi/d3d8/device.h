// The Direct3D 8 device: state, resources, drawing and presentation (see device.cpp).
#pragma once

#include <d3d8.h>

#include <atomic>
#include <map>
#include <memory>
#include <vector>

#include "d3d8/objects.h"
#include "d3d8/presenter.h"
#include "d3d8/raster.h"

namespace winapi::d3d8 {

class CDevice final : public IDirect3DDevice8, private IPutOff {
public:
    // Checks the arguments as CreateDevice does and makes the device.
    static HRESULT Create(IDirect3D8* direct3d, D3DDEVTYPE type, HWND focusWindow,
                          DWORD behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                          IDirect3DDevice8** device);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT TestCooperativeLevel() override;
    UINT GetAvailableTextureMem() override;
    HRESULT GetDirect3D(IDirect3D8** direct3d) override;
    HRESULT GetDeviceCaps(D3DCAPS8* caps) override;
    HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) override;
    HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const _RGNDATA* dirtyRegion) override;
    HRESULT GetBackBuffer(UINT backBuffer, D3DBACKBUFFER_TYPE type,
                          IDirect3DSurface8** surface) override;
    HRESULT GetRasterStatus(D3DRASTER_STATUS* status) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, IDirect3DTexture8** texture) override;
    HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                               D3DMULTISAMPLE_TYPE multiSample, BOOL lockable,
                               IDirect3DSurface8** surface) override;
    HRESULT CreateImageSurface(UINT width, UINT height, D3DFORMAT format,
                               IDirect3DSurface8** surface) override;
    HRESULT CopyRects(IDirect3DSurface8* source, const RECT* sourceRects, UINT count,
                      IDirect3DSurface8* destination, const POINT* destPoints) override;
    HRESULT SetRenderTarget(IDirect3DSurface8* renderTarget,
                            IDirect3DSurface8* depthStencil) override;
    HRESULT GetRenderTarget(IDirect3DSurface8** surface) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface8** surface) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetViewport(const D3DVIEWPORT8* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT8* viewport) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                            UINT stride) override;
    HRESULT SetVertexShader(DWORD handle) override;
    HRESULT GetVertexShader(DWORD* handle) override;
    HRESULT CreatePixelShader(const DWORD* function, DWORD* handle) override;
    HRESULT SetPixelShader(DWORD handle) override;
    HRESULT GetPixelShader(DWORD* handle) override;
    HRESULT DeletePixelShader(DWORD handle) override;
    HRESULT SetPixelShaderConstant(DWORD firstRegister, const void* data, DWORD count) override;

    // Test seams (d3d8_seams.h).
    void ForceLoss(UINT pollsWhileLost);
    std::vector<DWORD> ReadRenderTarget(UINT* width, UINT* height);
    std::vector<DWORD> PresentedFrame(UINT* width, UINT* height) const;
    bool HasPresenter() const { return presenter_ != nullptr; }
    UINT PixelShaderCount() const { return UINT(pixelShaders_.size()); }
    void WithoutPixelShaders(bool without) { withoutPixelShaders_ = without; }
    UINT DefaultPoolCount() const;
    bool FrameDrawn() const { return frameDrawn_; }
    UINT RowsShown() const { return rowsShown_; }

private:
    enum class ELoss { None, Lost, NotReset };
    // A clear or a draw as Submit takes it: everything that decides its pixels, by value,
    // and the images it reads and writes.
    struct Command {
        bool clear = false;
        std::shared_ptr<Image> target, depth;
        // A clear: its rectangles (within the viewport), what it clears and to what.
        std::vector<D3DRECT> rects;
        DWORD flags = 0;
        D3DCOLOR color = 0;
        float z = 0;
        // A draw: the primitives, and the state without its pointers (Execute puts them in).
        D3DPRIMITIVETYPE type = D3DPT_POINTLIST;
        UINT primitives = 0;
        std::vector<Vertex> vertices;
        PipelineState state;
        std::shared_ptr<Image> textures[kStages];
        uint64_t textureStamps[kStages] = {};
        std::shared_ptr<const PixelProgram> shader;
        float constants[kPixelShaderConstants][4] = {};
        // Into the back buffer: the pixels it can touch, and whether it is the command at
        // its place in the last frame again.
        RECT bounds{};
        bool same = false;

        bool Same(const Command& other) const;
        bool UsesDepth() const;
    };

    static constexpr int kRenderStates = 256;
    static constexpr int kStageStates = 29;

    CDevice(IDirect3D8* direct3d, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags);
    ~CDevice();
    static void OnRendererReset();

    void BuildSurfaces();
    void DropSurfacesAndBindings();
    void ApplyDefaultStates();
    bool Resettable() const;
    void BindRenderTarget(CSurface* target, CSurface* depth);
    PipelineState Pipeline();
    // Draws count triangles of a list, strip or fan of vertices v.
    static void DrawTriangles(CRasterizer& raster, D3DPRIMITIVETYPE type, UINT count,
                              const std::vector<Vertex>& v);

    // Drawing into the back buffer is recorded for the frame. When the last frame began
    // with a clear of the whole back buffer (and depth buffer, where depth is used), the
    // back buffer holds what it drew and this frame's commands are put off until it ends:
    // a frame that is the last one again is not drawn, and one that differs is drawn only
    // within the box around the commands that differ from those at their places in the
    // last frame (outside it the same commands draw the same pixels). Anything that reads
    // or writes the pixels the commands use first does everything put off, everywhere.
    // Drawing into other targets is done at once.
    void Submit(Command&& command);
    // Does a command; with clip, only within that rectangle.
    void Execute(Command& command, const RECT* clip = nullptr);
    void DoPutOff() override;
    // The box around the commands of this frame and the last that differ; empty when
    // none do.
    RECT Damage() const;
    // Drops what was put off, undone.
    void StopPuttingOff();
    void ForgetFrames();
    // Whether this frame's commands draw the whole back buffer from a clear.
    bool ClearsWholeBackBuffer() const;
    // Ends the frame, doing or dropping the drawing put off: true when the frame was drawn,
    // false when it is exactly the last one again, which the back buffer still holds.
    bool FinishFrame();
    // The rows of the back buffer that differ from the last frame shown, which are copied
    // into it.
    std::vector<RowSpan> TakeChangedRows();
    void FullViewport();

    std::atomic<ULONG> references_{1};
    IDirect3D8* direct3d_;
    D3DDEVICE_CREATION_PARAMETERS creation_;
    D3DPRESENT_PARAMETERS parameters_{};
    HWND window_ = nullptr;
    std::shared_ptr<CDefaultPool> defaultPool_ = std::make_shared<CDefaultPool>();

    CSurface* backBuffer_ = nullptr;
    CSurface* autoDepth_ = nullptr;
    CSurface* renderTarget_ = nullptr;  // device references
    CSurface* depthStencil_ = nullptr;
    CTexture* textures_[kStages] = {};

    DWORD renderStates_[kRenderStates] = {};
    DWORD stageStates_[kStages][kStageStates] = {};
    DWORD fvf_ = 0;
    D3DVIEWPORT8 viewport_{};
    std::map<DWORD, D3DMATRIX> transforms_;
    float pixelShaderConstants_[kPixelShaderConstants][4] = {};
    // Pixel shaders by handle; they outlive Reset, which only unsets the current one.
    std::map<DWORD, std::shared_ptr<const PixelProgram>> pixelShaders_;
    DWORD nextPixelShader_ = 1;
    DWORD pixelShader_ = 0;
    bool withoutPixelShaders_ = false;  // a test's stand-in for a device without them
    bool inScene_ = false;

    std::vector<Command> frame_, last_;
    bool puttingOff_ = false;
    std::vector<Image*> markedPutOff_;
    uint64_t backBufferStamp_ = 0;    // the back buffer's after the device's last drawing
    bool backBufferWritten_ = false;  // by someone else this frame
    bool frameDrawn_ = false;         // what the last Present did
    UINT rowsShown_ = 0;

    ELoss loss_ = ELoss::None;
    UINT pollsWhileLost_ = 0;
    std::unique_ptr<CPresenter> presenter_;
    std::vector<DWORD> presented_;
    UINT presentedWidth_ = 0, presentedHeight_ = 0;
};

}  // namespace winapi::d3d8
