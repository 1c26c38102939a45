// The fast backend: FFTW's real-to-complex and complex-to-real transforms,
// with the half-complex index rule of resample_engine.h applied to the
// complex spectrum X[0 .. n/2].
//
// In GSL's layout of length L, rk sits at index 2k-1 and ik at index 2k
// (r0 at 0, no i0; for an even L the Nyquist term r(L/2) at L-1 and no
// i(L/2)). Keeping an element's index from length n to length m therefore
// means, with kept = min(n, m):
//   Y[k].re = X[k].re when 2k-1 < kept, else 0;
//   Y[k].im = X[k].im when 2k   < kept, else 0;   for 1 <= k <= m/2.
// This covers the odd cases of the layout without special-casing them: for an
// even m the index m of i(m/2) never exists, so the Nyquist term stays real;
// for an even n up-sampled, r(n/2) (old index n-1) is kept and i(n/2) (old
// index n, beyond the old spectrum) is 0. The c2r transform then treats Y as
// a Hermitian spectrum of length m exactly as GSL's half-complex inverse does.
#include "resample_engine.h"
#include "trace/fftw_planner.h"

#include <algorithm>
#include <climits>
#include <fftw3.h>
#include <mutex>

namespace tessara::detail
{

namespace
{

/// ESTIMATE planning is deterministic: the same length and array alignment
/// always give the same algorithm, so cached and one-off plans agree bit for
/// bit. MEASURE could pick different algorithms from run to run and make an
/// output file depend on the machine's load.
constexpr unsigned kPlannerFlags = FFTW_ESTIMATE;

struct PlanDestroy {
    void operator()(fftw_plan p) const
    {
        const std::lock_guard<std::mutex> lock(FftwPlannerMutex());
        fftw_destroy_plan(p);
    }
};
using PlanPtr = std::unique_ptr<fftw_plan_s, PlanDestroy>;

struct FftwFree {
    void operator()(void* p) const { fftw_free(p); }
};

/// FFTW plans of one length.
struct FftwSetup {
    std::size_t length = 0;
    std::uint64_t lastUse = 0;
    PlanPtr forward; ///< r2c, length real values -> length/2 + 1 complex
    PlanPtr inverse; ///< c2r, length/2 + 1 complex -> length real values
};

/// Applies the index rule above in place: X[0 .. n/2] from a forward transform
/// of length n becomes Y[0 .. m/2] for an inverse of length m. `spectrum`
/// holds at least max(n, m)/2 + 1 values.
void KeepHalfcomplexIndices(fftw_complex* spectrum, std::size_t n, std::size_t m)
{
    const std::size_t kept = std::min(n, m);
    spectrum[0][1] = 0.0;
    for (std::size_t k = 1; k <= m / 2; ++k) {
        spectrum[k][0] = 2 * k - 1 < kept ? spectrum[k][0] : 0.0;
        spectrum[k][1] = 2 * k < kept ? spectrum[k][1] : 0.0;
    }
}

class CFftwEngine final : public IResampleEngine
{
public:
    explicit CFftwEngine(bool cachePlans) : m_cache(cachePlans) {}

    const double* Resample(const double* in, std::size_t n, std::size_t m) override
    {
        if (n == 0 || m == 0 || n > INT_MAX || m > INT_MAX || !Reserve(std::max(n, m)))
            return nullptr;
        double* real = m_real.get();
        auto* spectrum = static_cast<fftw_complex*>(m_spectrum.get());
        std::copy(in, in + n, real);

        // The forward plan is finished with before the inverse one is looked
        // up: adding to the cache may move its entries.
        FftwSetup localForward;
        FftwSetup* forward = m_cache.For(n, localForward);
        if (forward == nullptr)
            return nullptr;
        if (!forward->forward) {
            const std::lock_guard<std::mutex> lock(FftwPlannerMutex());
            forward->forward.reset(
                fftw_plan_dft_r2c_1d(static_cast<int>(n), real, spectrum, kPlannerFlags));
        }
        if (!forward->forward)
            return nullptr;
        // New-array execution: the buffers may have been reallocated since the
        // plan was made; fftw_malloc gives them the same SIMD alignment.
        fftw_execute_dft_r2c(forward->forward.get(), real, spectrum);

        KeepHalfcomplexIndices(spectrum, n, m);

        FftwSetup localInverse;
        FftwSetup* inverse = m_cache.For(m, localInverse);
        if (inverse == nullptr)
            return nullptr;
        if (!inverse->inverse) {
            const std::lock_guard<std::mutex> lock(FftwPlannerMutex());
            inverse->inverse.reset(
                fftw_plan_dft_c2r_1d(static_cast<int>(m), spectrum, real, kPlannerFlags));
        }
        if (!inverse->inverse)
            return nullptr;
        fftw_execute_dft_c2r(inverse->inverse.get(), spectrum, real);

        // FFTW does not normalise; scale as GSL does, by multiplying with 1/m.
        const double norm = 1.0 / static_cast<double>(m);
        for (std::size_t i = 0; i < m; ++i)
            real[i] *= norm;
        return real;
    }

private:
    /// Room for `count` real values and count/2 + 1 complex ones.
    bool Reserve(std::size_t count)
    {
        if (count <= m_capacity)
            return true;
        std::unique_ptr<double, FftwFree> real(fftw_alloc_real(count));
        std::unique_ptr<void, FftwFree> spectrum(fftw_alloc_complex(count / 2 + 1));
        if (!real || !spectrum)
            return false;
        m_real = std::move(real);
        m_spectrum = std::move(spectrum);
        m_capacity = count;
        return true;
    }

    CLengthCache<FftwSetup> m_cache;
    /// Transform input and output; the spectrum is edited in place between
    /// the forward and the inverse transform.
    std::unique_ptr<double, FftwFree> m_real;
    std::unique_ptr<void, FftwFree> m_spectrum;
    std::size_t m_capacity = 0;
};

} // namespace

std::unique_ptr<IResampleEngine> MakeFftwEngine(bool cachePlans)
{
    return std::make_unique<CFftwEngine>(cachePlans);
}

} // namespace tessara::detail
