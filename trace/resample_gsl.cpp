// The reference backend: GSL's mixed-radix real FFT, which accepts any length
// and works in place on the half-complex layout itself.
#include "resample_engine.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_fft_halfcomplex.h>
#include <gsl/gsl_fft_real.h>

#include <algorithm>
#include <cstdlib>

namespace tessara::detail
{

namespace
{

struct RealWavetableFree {
    void operator()(gsl_fft_real_wavetable* p) const { gsl_fft_real_wavetable_free(p); }
};
struct HalfcomplexWavetableFree {
    void operator()(gsl_fft_halfcomplex_wavetable* p) const
    {
        gsl_fft_halfcomplex_wavetable_free(p);
    }
};
struct WorkspaceFree {
    void operator()(gsl_fft_real_workspace* p) const { gsl_fft_real_workspace_free(p); }
};
struct MallocFree {
    void operator()(double* p) const { std::free(p); }
};

/// GSL set-ups of one length. The workspace must match the length exactly
/// (GSL rejects a larger one), so it is kept per length as well.
struct GslSetup {
    std::size_t length = 0;
    std::uint64_t lastUse = 0;
    std::unique_ptr<gsl_fft_real_wavetable, RealWavetableFree> forward;
    std::unique_ptr<gsl_fft_halfcomplex_wavetable, HalfcomplexWavetableFree> inverse;
    std::unique_ptr<gsl_fft_real_workspace, WorkspaceFree> workspace;

    bool MakeWorkspace()
    {
        if (!workspace)
            workspace.reset(gsl_fft_real_workspace_alloc(length));
        return workspace != nullptr;
    }
    bool MakeForward()
    {
        if (!forward)
            forward.reset(gsl_fft_real_wavetable_alloc(length));
        return forward != nullptr && MakeWorkspace();
    }
    bool MakeInverse()
    {
        if (!inverse)
            inverse.reset(gsl_fft_halfcomplex_wavetable_alloc(length));
        return inverse != nullptr && MakeWorkspace();
    }
};

class CGslEngine final : public IResampleEngine
{
public:
    explicit CGslEngine(bool cachePlans) : m_cache(cachePlans) {}

    const double* Resample(const double* in, std::size_t n, std::size_t m) override
    {
        if (n == 0 || m == 0 || !Reserve(std::max(n, m)))
            return nullptr;
        double* data = m_buffer.get();
        std::copy(in, in + n, data);

        // The forward set-up is finished with before the inverse one is looked
        // up: adding to the cache may move its entries.
        GslSetup localForward;
        GslSetup* forward = m_cache.For(n, localForward);
        if (forward == nullptr || !forward->MakeForward())
            return nullptr;
        if (gsl_fft_real_transform(data, 1, n, forward->forward.get(), forward->workspace.get()) !=
            GSL_SUCCESS)
            return nullptr;

        // Every half-complex element keeps its index in the layout of length
        // m: up-sampling appends zeros, down-sampling reads only the first m.
        if (m > n)
            std::fill(data + n, data + m, 0.0);

        GslSetup localInverse;
        GslSetup* inverse = m_cache.For(m, localInverse);
        if (inverse == nullptr || !inverse->MakeInverse())
            return nullptr;
        // gsl_fft_halfcomplex_inverse divides by m.
        if (gsl_fft_halfcomplex_inverse(
                data, 1, m, inverse->inverse.get(), inverse->workspace.get()) != GSL_SUCCESS)
            return nullptr;
        return data;
    }

private:
    bool Reserve(std::size_t count)
    {
        if (count <= m_capacity)
            return true;
        auto* fresh = static_cast<double*>(std::malloc(count * sizeof(double)));
        if (fresh == nullptr)
            return false;
        m_buffer.reset(fresh);
        m_capacity = count;
        return true;
    }

    CLengthCache<GslSetup> m_cache;
    /// One array serves both transforms: the forward one in place on the
    /// first n elements, the inverse one in place on the first m.
    std::unique_ptr<double, MallocFree> m_buffer;
    std::size_t m_capacity = 0;
};

} // namespace

std::unique_ptr<IResampleEngine> MakeGslEngine(bool cachePlans)
{
    return std::make_unique<CGslEngine>(cachePlans);
}

} // namespace tessara::detail
