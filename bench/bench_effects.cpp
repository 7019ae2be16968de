// What the graphic effect costs a frame, against the 40 ms a frame may take at 25 frames
// per second: the pixel-shader probe that the default states run at the start of every
// frame (assemble, create, set, delete), and one full-screen pass of the cross-fade
// shader over three 640 x 480 textures of gradients into a render target, which is what
// each pass of the effect costs when a scene draws with it. Headless device.
#include <d3dx8.h>

#include <cstdio>
#include <cstring>

#include "bench_common.h"
#include "framework/render/direct3d.h"
#include "framework/render/effects.h"

namespace {

namespace N3D = NVireo::NDirectX::N3D;

constexpr double kFramePeriodMs = 40.0;

void Probe(benchmark::State& state) {
    for (auto _ : state) {
        const bool answer = N3D::ProbePixelShaders();
        benchmark::DoNotOptimize(answer);
    }
}

// Fills a render-target texture with gradients of every channel, so the pass reads
// texels that differ from pixel to pixel.
void FillWithGradients(IDirect3DDevice8* device, IDirect3DTexture8* texture, DWORD seed) {
    IDirect3DSurface8* surface = nullptr;
    texture->GetSurfaceLevel(0, &surface);
    device->SetRenderTarget(surface, nullptr);
    struct CVertex {
        float x, y, z, rhw;
        DWORD colour;
    };
    const float w = static_cast<float>(N3D::kBackBufferWidth);
    const float h = static_cast<float>(N3D::kBackBufferHeight);
    const CVertex strip[4] = {{w, 0, 0, 1, 0xFF00FFFFu ^ seed},
                              {w, h, 0, 1, 0x00FF00FFu ^ seed},
                              {0, 0, 0, 1, 0x80FFFF00u ^ seed},
                              {0, h, 0, 1, 0x40000000u ^ seed}};
    device->SetTexture(0, nullptr);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    device->BeginScene();
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(CVertex));
    device->EndScene();
    surface->Release();
}

void CrossFadePass(benchmark::State& state) {
    N3D::CEffectState& effect = *N3D::EffectState();
    IDirect3DDevice8* device = N3D::Device().Get();
    IDirect3DSurface8* back = nullptr;
    device->GetRenderTarget(&back);
    FillWithGradients(device, effect.levels[0].targets[0].Get(), 0);
    FillWithGradients(device, effect.levels[0].targets[1].Get(), 0x5A3C96F0u);
    IDirect3DSurface8* target = nullptr;
    effect.screenTargets[0].Get()->GetSurfaceLevel(0, &target);
    device->SetRenderTarget(target, nullptr);
    for (int stage = 0; stage < 3; ++stage) {
        device->SetTexture(static_cast<DWORD>(stage), effect.levels[0].targets[stage % 2].Get());
        device->SetTextureStageState(static_cast<DWORD>(stage), D3DTSS_TEXCOORDINDEX, 0);
    }
    device->SetPixelShader(effect.shaders[1].handle);
    device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_TEX1);
    device->BeginScene();
    for (auto _ : state) {
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, effect.screenQuad,
                                sizeof(N3D::CQuadVertex));
    }
    device->EndScene();
    device->SetPixelShader(0);
    for (DWORD stage = 0; stage < 3; ++stage) device->SetTexture(stage, nullptr);
    device->SetRenderTarget(back, nullptr);
    target->Release();
    back->Release();
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    D3DPRESENT_PARAMETERS& presentation = N3D::PresentParameters();
    presentation.BackBufferWidth = N3D::kBackBufferWidth;
    presentation.BackBufferHeight = N3D::kBackBufferHeight;
    presentation.Windowed = TRUE;
    N3D::InstallPixelShaderProbe();
    // A handle without an SDL window: the device draws without a presenter.
    if (!N3D::StartRenderer(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x5EB0))) ||
        !N3D::CanUseEffect()) {
        std::printf("no rendering device with pixel shaders\n");
        return 1;
    }
    N3D::SetGraphicEffect(true);

    benchmark::RegisterBenchmark("probe", Probe)->UseRealTime()->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("cross_fade_pass", CrossFadePass)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    // Google Benchmark reports in each benchmark's unit: microseconds, then milliseconds.
    const double probeShare = reporter.Time("probe") / 1000.0 / kFramePeriodMs;
    const double passShare = reporter.Time("cross_fade_pass") / kFramePeriodMs;
    constexpr double kProbeTarget = 0.01;
    constexpr double kPassTarget = 0.05;
    std::printf("%-48s %6.4fx the 40 ms frame period (target <= %.2fx) %s\n",
                "the pixel-shader probe, once a frame", probeShare, kProbeTarget,
                probeShare <= kProbeTarget ? "ok" : "MISSED");
    std::printf("%-48s %6.3fx the 40 ms frame period (target <= %.2fx) %s\n",
                "one full-screen cross-fade pass", passShare, kPassTarget,
                passShare <= kPassTarget ? "ok" : "MISSED");

    N3D::DeleteEffectState();
    N3D::StopRenderer();
    benchmark::Shutdown();
    return probeShare <= kProbeTarget && passShare <= kPassTarget ? 0 : 1;
}
