#include "altimetry/height.hpp"

#include "angles/units.hpp"
#include "base/constants.hpp"
#include "base/run_stop.hpp"
#include "input/record_reader.hpp"
#include "planimetry/planimetric_pass.hpp"
#include "planimetry/results.hpp"
#include "precision/chi_square.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace resection {

void readZenithSection(RunContext& ctx) {
    RecordReader& in = *ctx.input;
    in.beginRecord();
    ctx.zenithCount = in.readInteger("numero de observacoes zenitais");
    const long long countLine = in.lineNumber();
    ctx.instrumentHeight = in.readReal("altura do instrumento");
    if (ctx.zenithCount < 1) {
        throw RunStop::badInput("Numero de observacoes zenitais " +
                                std::to_string(ctx.zenithCount) + " no ficheiro " +
                                ctx.inputFileName + ", linha " + std::to_string(countLine) +
                                ": e preciso pelo menos uma.");
    }
    if (ctx.zenithCount > maxZenithCount) {
        throw RunStop::badInput("Numero de observacoes zenitais " +
                                std::to_string(ctx.zenithCount) + " no ficheiro " +
                                ctx.inputFileName + ", linha " + std::to_string(countLine) +
                                ": o maximo e " + std::to_string(maxZenithCount) + ".");
    }
    const int n = ctx.zenithCount;
    sizeZenithArrays(ctx);

    const bool sexagesimal = ctx.unit == AngleUnit::Sexagesimal;
    long long firstReadingLine = 0;
    for (int i = 1; i <= n; ++i) {
        const std::string of = " da observacao zenital " + std::to_string(i);
        in.beginRecord();
        ctx.zenithPointName[static_cast<std::size_t>(i)] = in.readText(12, "nome" + of);
        ctx.zenithPointM(i) = in.readReal("coordenada M" + of);
        ctx.zenithPointP(i) = in.readReal("coordenada P" + of);
        ctx.zenithPointHeight(i) = in.readReal("cota" + of);
        double z = 0.0;
        if (sexagesimal) {
            const double degrees = in.readReal("graus da leitura" + of);
            const double minutes = in.readReal("minutos da leitura" + of);
            const double seconds = in.readReal("segundos da leitura" + of);
            z = sexagesimalToDegrees(degrees, minutes, seconds);
        } else {
            z = in.readReal("leitura zenital" + of);
        }
        if (i == 1) {
            firstReadingLine = in.lineNumber();
        }
        ctx.zenithReading(i) = zenithToRadians(ctx.unit, z);
        ctx.signalHeight(i) = in.readReal("altura do sinal" + of);
    }
    in.endRecord();
    // The starting value divides by the tangent of the first reading.
    if (ctx.zenithReading(1) == 0.0) {
        throw RunStop::badInput("Leitura zenital nula na primeira observacao zenital (ficheiro " +
                                ctx.inputFileName + ", linha " + std::to_string(firstReadingLine) +
                                "): a primeira leitura serve para a cota inicial e nao pode "
                                "ser 0.");
    }
}

void sizeZenithArrays(RunContext& ctx) {
    const int n = ctx.zenithCount;
    ctx.zenithPointName.assign(static_cast<std::size_t>(n) + 1, std::string(12, ' '));
    ctx.zenithPointM = Matrix(n, 1);
    ctx.zenithPointP = Matrix(n, 1);
    ctx.zenithPointHeight = Matrix(n, 1);
    ctx.zenithReading = Matrix(n, 1);
    ctx.signalHeight = Matrix(n, 1);
    ctx.horizontalDistance = Matrix(n, 1);
    ctx.zenithWeight = Matrix(n, n);
    ctx.heightDesign = Matrix(n, 1);
    ctx.heightDesignT = Matrix(1, n);
    ctx.zenithMisclosure = Matrix(n, 1);
    ctx.zenithResidual = Matrix(n, 1);
    ctx.heightCofactor = Matrix(1, 1);
}

namespace {

// row (1 x n) times the diagonal weight matrix p (n x n). Of the running sum
// 0 + row(1) p(1, j) + ... + row(n) p(n, j) only the term k = j is not an
// exact zero, and adding exact zeros changes no sum: the result is that of
// the full product at a cost of order n instead of n^2.
void timesDiagonalWeight(const Matrix& row, const Matrix& p, Matrix& result) {
    for (int j = 1; j <= row.cols(); ++j) {
        result(1, j) = 0.0 + row(1, j) * p(j, j);
    }
}

} // namespace

void buildZenithWeights(RunContext& ctx, double sigma) {
    const int n = ctx.zenithCount;
    const double variance = sigma * sigma;
    const double cofactor = variance / varianceFactorApriori;
    if (cofactor == 0.0) { // every row of the cofactor matrix is zero
        throw SingularMatrix();
    }
    Matrix& p = ctx.zenithWeight;
    p.fill(0.0);
    for (int i = 1; i <= n; ++i) {
        p(i, i) = 1.0 / cofactor;
    }
}

namespace {

// From the first observation alone, with the combined curvature and
// refraction term, which the observation equations leave out.
double startingHeight(RunContext& ctx) {
    const double dm1 = ctx.zenithPointM(1) - ctx.stationM;
    const double dp1 = ctx.zenithPointP(1) - ctx.stationP;
    const double d1 = std::sqrt(dm1 * dm1 + dp1 * dp1);
    ctx.horizontalDistance(1) = d1;
    return (((ctx.zenithPointHeight(1) - ctx.instrumentHeight) + ctx.signalHeight(1)) -
            d1 / std::tan(ctx.zenithReading(1))) -
           curvatureRefractionFactor * (d1 * d1);
}

} // namespace

namespace {

// How far rounding alone can move a height correction, metres: a unit in the
// last place of the height, and the rounding of the misclosures (a few units
// in the last place of pi) carried into the height by sqrt(Q_H) / sigma
// metres per radian; eight times both, as for the position.
double heightRounding(const RunContext& ctx, double sigma) {
    constexpr double eps = std::numeric_limits<double>::epsilon();
    const double h = ctx.stationHeight;
    const double unit =
        std::nextafter(std::fabs(h), std::numeric_limits<double>::infinity()) - std::fabs(h);
    const double metresPerRadian =
        std::sqrt(std::fabs(ctx.heightCofactor(1, 1))) / std::fabs(sigma);
    return 8.0 * (unit + metresPerRadian * 8.0 * eps * 2.0 * pi);
}

// The cost of a height pass in seconds, calibrated as that of the position:
// the n x n weight matrix cleared once, and each solution and the residuals
// of order n.
double heightPassWork(int n, std::size_t solutions) {
    const double count = n;
    return 2.7e-10 * count * count +
           static_cast<double>(solutions + 1) * (0.15e-6 + 2.1e-8 * count);
}

} // namespace

PassOutcome heightPass(RunContext& ctx, double sigma) {
    const int n = ctx.zenithCount;
    buildZenithWeights(ctx, sigma);
    double h = startingHeight(ctx);
    ctx.stationHeight = h;

    Matrix& a = ctx.heightDesign;
    Matrix& l = ctx.zenithMisclosure;
    Matrix designTWeight(1, n);
    Matrix normal(1, 1);
    Matrix u(1, 1);
    Matrix x(1, 1);
    PassOutcome outcome;
    outcome.closestDecision = std::numeric_limits<double>::infinity();
    ctx.heightIterations = 1;
    while (true) {
        for (int i = 1; i <= n; ++i) {
            const double dm = ctx.zenithPointM(i) - ctx.stationM;
            const double dp = ctx.zenithPointP(i) - ctx.stationP;
            const double d = std::sqrt(dm * dm + dp * dp);
            ctx.horizontalDistance(i) = d;
            const double delta =
                ((ctx.zenithPointHeight(i) + ctx.signalHeight(i)) - h) - ctx.instrumentHeight;
            // Derivative of the computed zenith angle atan2(d, delta) by H.
            a(i) = d / (delta * delta + d * d);
            l(i) = ctx.zenithReading(i) - std::atan2(d, delta);
        }
        matrixTranspose(n, 1, a, ctx.heightDesignT);
        timesDiagonalWeight(ctx.heightDesignT, ctx.zenithWeight, designTWeight);
        matrixProduct(1, n, 1, designTWeight, a, normal);
        matrixProduct(1, n, 1, designTWeight, l, u);
        if (normal(1, 1) == 0.0) {
            // Either no sight has a horizontal distance, or the height has run
            // so far from the points (a first reading far off, whose starting
            // value the iteration overshoots from, or one of 1e-300 whose
            // tangent puts the start some 1e300 m away) that every
            // derivative d / (delta^2 + d^2) has vanished.
            bool anyDistance = false;
            for (int i = 1; i <= n; ++i) {
                anyDistance = anyDistance || ctx.horizontalDistance(i) != 0.0;
            }
            if (anyDistance) {
                throw RunStop::badInput("O processo iterativo da cota divergiu: verifique as "
                                        "leituras zenitais (a primeira da a cota inicial).");
            }
            throw RunStop::badInput("Todos os pontos visados para a cota estao a distancia "
                                    "horizontal nula da estacao: a cota nao pode ser "
                                    "calculada.");
        }
        ctx.heightCofactor(1, 1) = 1.0 / normal(1, 1);
        matrixProduct(1, 1, 1, ctx.heightCofactor, u, x);
        // A correction that does not converge and is too small to move the
        // height is a fixed point: every later solution repeats it, up to the
        // eleventh, which ends the run; so it ends here.
        const bool fixedPoint = h + x(1, 1) == h && !(std::fabs(x(1, 1)) <= ctx.tolerance);
        h = h + x(1, 1);
        ctx.stationHeight = h;
        if (fixedPoint) {
            throw RunStop::withPlainLine(" Processo iterativo nao convergente...");
        }
        // The counter is raised before the convergence test, so it ends one
        // above the number of corrections; an eleventh correction ends the
        // run.
        if (ctx.heightIterations > maxIterations) {
            throw RunStop::withPlainLine(" Processo iterativo nao convergente...");
        }
        ctx.heightIterations = ctx.heightIterations + 1;
        outcome.corrections.push_back(std::fabs(x(1, 1)));
        outcome.closestDecision =
            std::min(outcome.closestDecision, std::fabs(std::fabs(x(1, 1)) - ctx.tolerance));
        // Not strict, unlike the planimetric test: a correction equal to the
        // tolerance has converged.
        if (std::fabs(x(1, 1)) <= ctx.tolerance) {
            break;
        }
    }

    Matrix ax(n, 1);
    matrixProduct(n, 1, 1, a, x, ax);
    Matrix& v = ctx.zenithResidual;
    Matrix vt(1, n);
    for (int i = 1; i <= n; ++i) {
        v(i) = ax(i) - l(i);
        vt(1, i) = v(i);
    }
    Matrix vtp(1, n);
    timesDiagonalWeight(vt, ctx.zenithWeight, vtp);
    Matrix vtpv(1, 1);
    matrixProduct(1, n, 1, vtp, v, vtpv);
    ctx.heightPosterioriVariance = vtpv(1, 1) / (n - 1);
    outcome.statistic = ctx.heightPosterioriVariance * (n - 1) / varianceFactorApriori;
    if (!(ctx.heightCritical > 0.0)) {
        ctx.heightCritical = chiSquare95(n - 1);
    }
    outcome.verdict =
        outcome.statistic > ctx.heightCritical ? Verdict::Rejected : Verdict::Accepted;
    outcome.rounding = heightRounding(ctx, sigma);
    outcome.work = heightPassWork(n, outcome.corrections.size());
    return outcome;
}

bool searchZenithPrecision(RunContext& ctx) {
    if (ctx.zenithCount <= 1) {
        // Nothing to adjust: the weights (a zero precision still stops the
        // run there) and the starting value, and the run ends without a
        // height.
        buildZenithWeights(ctx, ctx.zenithPrecision);
        ctx.stationHeight = startingHeight(ctx);
        return false;
    }
    try {
        const SearchSettings settings = searchSettings(ctx, ctx.zenithPrecision);
        const SearchResult result =
            searchPrecision([&ctx](double sigma) { return heightPass(ctx, sigma); }, settings,
                            chiSquare95(ctx.zenithCount - 1));
        ctx.zenithPrecision = result.precision;
        ctx.heightSearch = result.counts;
    } catch (const SearchWithoutEnd& stop) {
        throw RunStop::badInput(searchWithoutEndMessage(stop, ctx.unit, "leituras zenitais"));
    }
    return true;
}

HeightResults heightResults(const RunContext& ctx) {
    HeightResults r;
    const int n = ctx.zenithCount;
    const double s02 = ctx.heightPosterioriVariance;
    r.iterations = ctx.heightIterations;
    r.stationHeight = ctx.stationHeight;
    for (int i = 1; i <= n; ++i) {
        r.residual.push_back(ctx.zenithResidual(i));
        r.adjustedReading.push_back(ctx.zenithReading(i) + ctx.zenithResidual(i));
    }
    const double heightVariance = ctx.heightCofactor(1, 1) * s02;
    r.heightDeviation = std::sqrt(heightVariance);

    // Only the diagonal of (180/pi)^2 s0^2 A Q_H A^T is printed; each element
    // is formed exactly as in the full product.
    const double qh = ctx.heightCofactor(1, 1);
    const double toDegrees2 = (180.0 / pi) * (180.0 / pi);
    for (int i = 1; i <= n; ++i) {
        const double aq = 0.0 + ctx.heightDesign(i) * qh;
        const double e = 0.0 + aq * ctx.heightDesignT(1, i);
        const double c = toDegrees2 * (e * s02);
        r.adjustedReadingDeviation.push_back(standardDeviation(c));
    }
    return r;
}

} // namespace resection
