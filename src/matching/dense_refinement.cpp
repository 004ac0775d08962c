#include "matching/dense_refinement.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "matching/dense_filters.h"
#include "matching/disparity_prior.h"

namespace q3d {
namespace {

// Conjugate gradients stop here: the rounds that follow correct what one leaves.
constexpr int kSolverIterations = 300;
constexpr double kSolverTolerance = 1e-3;  // relative residual
// Twice one minus the window correlation at which a pixel's intensity term has lost half its
// weight (2 is no correlation at all).
constexpr double kRobustResidual = 0.6;
// The share of the slope along the rows that fades the bending across them.
constexpr double kSlopeAlongRowsShare = 0.3;

// Sum over the rows of f(y) (a double or a cv::Vec2d), each row's share computed on any core
// and added in row order, so that the result does not depend on how the rows were shared out.
template <typename RowSum>
auto SumOverRows(int rows, RowSum f) {
  using Sum = decltype(f(0));
  std::vector<Sum> sums(static_cast<size_t>(rows));
  cv::parallel_for_(cv::Range(0, rows), [&](const cv::Range& band) {
    for (int y = band.start; y < band.end; ++y) sums[static_cast<size_t>(y)] = f(y);
  });
  Sum total{};
  for (const Sum& sum : sums) total += sum;
  return total;
}

// The linearised problem of one round on the pixel grid: a diagonal (the intensity term
// and the prior's pull) and the bending penalty's weights per second-difference stencil:
// along x and along y centred on a pixel, and the twist of the 2 x 2 block whose top-left
// it is (zero where a stencil leaves the region). All CV_64F.
struct RoundSystem {
  cv::Mat diagonal, xx, yy, xy;

  // out = system * in. Each stencil's bending is found first, then gathered by every pixel
  // it touches: loops without branches over padded buffers (zero beyond the grid).
  // Also returns in . out, which conjugate gradients need next.
  double Apply(const cv::Mat& in, cv::Mat& out) const {
    const int rows = in.rows, cols = in.cols;
    // The cells no stencil writes (the padding, the grid's own first and last rows and
    // columns where a stencil would leave it) stay zero from the allocation.
    if (bendX.rows != rows + 2 || bendX.cols != cols + 2)
      for (cv::Mat* buffer : {&bendX, &bendY, &twist})
        *buffer = cv::Mat::zeros(rows + 2, cols + 2, CV_64F);
    // Rows are independent within each pass: the work is shared between the cores.
    cv::parallel_for_(cv::Range(0, rows), [&](const cv::Range& band) {
      for (int y = band.start; y < band.end; ++y) Bend(in, y);
    });
    out.create(in.size(), CV_64F);
    return SumOverRows(rows, [&](int y) { return Gather(in, y, out); });
  }

  cv::Mat Preconditioner() const {
    cv::Mat d = diagonal.clone();
    for (int y = 0; y < d.rows; ++y)
      for (int x = 0; x < d.cols; ++x) {
        double& v = d.at<double>(y, x);
        const auto w = [&](const cv::Mat& m, int dx, int dy) {
          const int px = x + dx, py = y + dy;
          return px >= 0 && py >= 0 && px < m.cols && py < m.rows ? m.at<double>(py, px) : 0.0;
        };
        v += 4 * w(xx, 0, 0) + w(xx, -1, 0) + w(xx, 1, 0);
        v += 4 * w(yy, 0, 0) + w(yy, 0, -1) + w(yy, 0, 1);
        v += 2 * (w(xy, 0, 0) + w(xy, -1, 0) + w(xy, 0, -1) + w(xy, -1, -1));
        v = v > 0 ? 1 / v : 0;
      }
    return d;
  }

 private:
  // Each stencil's bending of row y: along x, along y and the twist.
  void Bend(const cv::Mat& in, int y) const {
    const int rows = in.rows, cols = in.cols;
    const double* row = in.ptr<double>(y);
    const double *wx = xx.ptr<double>(y), *wy = yy.ptr<double>(y), *wt = xy.ptr<double>(y);
    double* bx = bendX.ptr<double>(y + 1) + 1;
    for (int x = 1; x + 1 < cols; ++x) bx[x] = wx[x] * (row[x - 1] - 2 * row[x] + row[x + 1]);
    if (y > 0 && y + 1 < rows) {
      const double *above = in.ptr<double>(y - 1), *below = in.ptr<double>(y + 1);
      double* by = bendY.ptr<double>(y + 1) + 1;
      for (int x = 0; x < cols; ++x) by[x] = wy[x] * (above[x] - 2 * row[x] + below[x]);
    }
    if (y + 1 < rows) {
      const double* below = in.ptr<double>(y + 1);
      double* bt = twist.ptr<double>(y + 1) + 1;
      // The twist counts twice in the bending energy (xx^2 + 2 xy^2 + yy^2).
      for (int x = 0; x + 1 < cols; ++x)
        bt[x] = 2 * wt[x] * (row[x] - row[x + 1] - below[x] + below[x + 1]);
    }
  }

  // Row y of the product: the diagonal and every stencil's bending that touches the row;
  // returns the row's share of in . out.
  double Gather(const cv::Mat& in, int y, cv::Mat& out) const {
    const int cols = in.cols;
    const double *row = in.ptr<double>(y), *d = diagonal.ptr<double>(y);
    const double* bx = bendX.ptr<double>(y + 1) + 1;
    const double *byAbove = bendY.ptr<double>(y) + 1, *by = bendY.ptr<double>(y + 1) + 1,
                 *byBelow = bendY.ptr<double>(y + 2) + 1;
    const double *btAbove = twist.ptr<double>(y) + 1, *bt = twist.ptr<double>(y + 1) + 1;
    double* o = out.ptr<double>(y);
    double product = 0;
    for (int x = 0; x < cols; ++x) {
      o[x] = d[x] * row[x] + bx[x - 1] - 2 * bx[x] + bx[x + 1] + byAbove[x] - 2 * by[x] +
             byBelow[x] + bt[x] - bt[x - 1] - btAbove[x] + btAbove[x - 1];
      product += row[x] * o[x];
    }
    return product;
  }

  mutable cv::Mat bendX, bendY, twist;  // Apply's buffers, kept between calls
};

// Iterations between two looks at a cancel request.
constexpr int kCancelPoll = 25;

// Preconditioned conjugate gradients from zero; pixels outside the system stay zero. Each
// iteration passes over the vectors once besides the product: the updates and the dot
// products they need are fused. Stops early, with an empty result, when a cancel is
// requested.
cv::Mat Solve(const RoundSystem& system, const cv::Mat& rhs, const Progress* progress) {
  const cv::Mat inverse = system.Preconditioner();
  cv::Mat x = cv::Mat::zeros(rhs.size(), CV_64F), r = rhs.clone(), z = inverse.mul(r),
          p = z.clone(), q;
  const int rows = rhs.rows, cols = rhs.cols;
  double rz = r.dot(z), rr = r.dot(r);
  const double stop = kSolverTolerance * kSolverTolerance * rr;
  for (int it = 0; it < kSolverIterations && rr > stop; ++it) {
    if (it % kCancelPoll == 0 && ShouldCancel(progress)) return {};
    const double pq = system.Apply(p, q);
    if (!(pq > 0)) break;
    const double alpha = rz / pq;
    // x += alpha p, r -= alpha q, z = M^-1 r; then r.r and r.z.
    const cv::Vec2d sums = SumOverRows(rows, [&](int y) {
      const double *pr = p.ptr<double>(y), *qr = q.ptr<double>(y), *m = inverse.ptr<double>(y);
      double *xr = x.ptr<double>(y), *rrow = r.ptr<double>(y), *zr = z.ptr<double>(y);
      double squares = 0, products = 0;
      for (int c = 0; c < cols; ++c) {
        xr[c] += alpha * pr[c];
        rrow[c] -= alpha * qr[c];
        zr[c] = m[c] * rrow[c];
        squares += rrow[c] * rrow[c];
        products += rrow[c] * zr[c];
      }
      return cv::Vec2d(squares, products);
    });
    rr = sums[0];
    const double next = sums[1], beta = next / rz;
    cv::parallel_for_(cv::Range(0, rows), [&](const cv::Range& band) {
      for (int y = band.start; y < band.end; ++y) {
        double* pr = p.ptr<double>(y);
        const double* zr = z.ptr<double>(y);
        for (int c = 0; c < cols; ++c) pr[c] = zr[c] + beta * pr[c];
      }
    });
    rz = next;
  }
  return x;
}

// 1 where the pixel and its neighbours at the offsets all lie in the region.
cv::Mat StencilInside(const cv::Mat& inside, std::initializer_list<cv::Point> offsets) {
  cv::Mat out(inside.size(), CV_64F, cv::Scalar(0));
  for (int y = 0; y < inside.rows; ++y)
    for (int x = 0; x < inside.cols; ++x) {
      bool all = true;
      for (const cv::Point o : offsets) {
        const int px = x + o.x, py = y + o.y;
        all = all && px >= 0 && py >= 0 && px < inside.cols && py < inside.rows &&
              inside.at<uint8_t>(py, px);
      }
      out.at<double>(y, x) = all ? 1.0 : 0.0;
    }
  return out;
}

// Per pixel, the share of the bending penalty kept: it halves where image 1's slope reaches
// `edge` grey levels per pixel, as the surface may fold at a shading edge.
cv::Mat CreaseWeights(const cv::Mat& left, double edge) {
  cv::Mat grey, gx, gy, slope;
  left.convertTo(grey, CV_64F);
  cv::GaussianBlur(grey, grey, cv::Size(), 1.0);
  cv::Sobel(grey, gx, CV_64F, 1, 0, 3, 1.0 / 8);
  cv::Sobel(grey, gy, CV_64F, 0, 1, 3, 1.0 / 8);
  cv::magnitude(gx, gy, slope);
  cv::pow(slope / edge, 2, slope);
  return 1 / (1 + slope);
}

// The intensity term of one round, per pixel: the window correlation's Gauss-Newton model
// a (step)^2 + 2 b (step) + residual, where residual = 2 - 2 correlation. Image 2 is
// normalised after it is warped onto image 1, so that both windows cover the same skin
// however slanted it is (CV_64F).
struct WindowTerm {
  cv::Mat a, b, residual;
};

WindowTerm CorrelationTerm(const cv::Mat& l, const cv::Mat& meanL, const cv::Mat& spreadL,
                           const cv::Mat& warped, const cv::Mat& gradient, double sigma) {
  const auto window = [sigma](const cv::Mat& m) { return WindowMean(m, sigma); };
  const cv::Mat meanR = window(warped), meanG = window(gradient);
  const cv::Mat spreadR = WindowSpread(warped, meanR, sigma);
  const cv::Mat varianceR = spreadR.mul(spreadR);
  const cv::Mat spreads = spreadL.mul(spreadR);
  // Covariances over the window: image 1 with image 2, each with image 2's slope, the slope
  // with itself.
  const cv::Mat lr = window(l.mul(warped)) - meanL.mul(meanR);
  const cv::Mat lg = window(l.mul(gradient)) - meanL.mul(meanG);
  const cv::Mat rg = window(warped.mul(gradient)) - meanR.mul(meanG);
  const cv::Mat gg = window(gradient.mul(gradient)) - meanG.mul(meanG);
  WindowTerm term;
  cv::Mat(gg / varianceR).convertTo(term.a, CV_64F);
  cv::Mat(lg / spreads - rg / varianceR).convertTo(term.b, CV_64F);
  cv::Mat(2 - 2 * lr / spreads).convertTo(term.residual, CV_64F);
  return term;
}

}  // namespace

cv::Mat WindowMean(const cv::Mat& image, double sigma) {
  cv::Mat mean;
  cv::GaussianBlur(image, mean, cv::Size(), sigma);
  return mean;
}

cv::Mat WindowSpread(const cv::Mat& image, const cv::Mat& mean, double sigma) {
  cv::Mat spread;
  cv::sqrt(WindowMean(image.mul(image), sigma) - mean.mul(mean) + kSpreadFloor * kSpreadFloor,
           spread);
  return spread;
}

bool RegulariseDisparity(cv::Mat& disparity, const cv::Mat& region, const cv::Mat& reliable,
                         const cv::Mat& dots, const cv::Mat& prior, const cv::Mat& left,
                         const cv::Mat& right, const RegularisationParams& params,
                         const RoundsProgress& report) {
  const cv::Mat inside = (region != 0) & MatchedMask(disparity);
  const cv::Mat insideX = StencilInside(inside, {{-1, 0}, {0, 0}, {1, 0}});
  const cv::Mat insideY = StencilInside(inside, {{0, -1}, {0, 0}, {0, 1}});
  const cv::Mat insideXY = StencilInside(inside, {{0, 0}, {1, 0}, {0, 1}, {1, 1}});
  const cv::Rect box = cv::boundingRect(inside);
  if (box.empty()) return true;
  cv::Mat insideWeight;
  inside.convertTo(insideWeight, CV_64F, 1.0 / 255);

  cv::Mat l, r, rx, lx, meanL, spreadL;
  left.convertTo(l, CV_32F);
  right.convertTo(r, CV_32F);
  // Central differences along the rows, not smoothed across them: the alignment settles where
  // this slope says the windows agree, and a smoothed slope misplaces the skin's finest
  // texture, which the alignment lives on.
  cv::Sobel(r, rx, CV_32F, 1, 0, 1, 0.5);
  cv::Sobel(l, lx, CV_32F, 1, 0, 1, 0.5);
  meanL = WindowMean(l, params.windowSigma);
  spreadL = WindowSpread(l, meanL, params.windowSigma);
  cv::Mat creases = CreaseWeights(left, params.creaseEdge);
  // Pixels whose intensity term is not heard: untrusted, outside, or on a dot.
  cv::Mat noData = (reliable == 0) | (inside == 0);
  if (!dots.empty()) {
    creases.setTo(1, dots);
    noData |= dots;
  }
  cv::Mat field = disparity.clone();
  field.setTo(0, ~inside);
  cv::Mat prior64;
  prior.convertTo(prior64, CV_64F);
  for (int round = 0; round < params.rounds; ++round) {
    if (report.progress)
      report.progress->SetPos(report.from + (report.to - report.from) * round / params.rounds);
    if (ShouldCancel(report.progress)) return false;
    // The intensity term, linearised around the present disparities: per pixel a quadratic
    // a (step)^2 + 2 b (step) over the window, and the window's residual for its weight.
    const cv::Mat warped = WarpByDisparity(r, field);
    // The slope of the window's content: the mean of both photographs' converges better
    // than image 2's alone.
    const cv::Mat gradient = 0.5f * (WarpByDisparity(rx, field) + lx);
    const auto [a, b, residual] =
        CorrelationTerm(l, meanL, spreadL, warped, gradient, params.windowSigma);
    cv::Mat dataWeight;
    cv::pow(residual / kRobustResidual, 2, dataWeight);
    dataWeight = 1 / (1 + dataWeight);
    dataWeight.setTo(0, noData);

    // Bending is allowed where the present disparities are steep, and at the creases.
    // Across the rows it fades mostly with the slope across them: the flanks of the nose are
    // steep along the rows yet run smoothly down the face, and rows left there to their own
    // data show as streaks.
    cv::Mat d64, dx, dy;
    field.convertTo(d64, CV_64F);
    cv::Sobel(d64, dx, CV_64F, 1, 0, 3, 1.0 / 8);
    cv::Sobel(d64, dy, CV_64F, 0, 1, 3, 1.0 / 8);
    // A stencil's bending fades with the slope in its own direction and a share of the other's.
    const auto fading = [&](const cv::Mat& own, const cv::Mat& other, double otherShare) {
      cv::Mat slope;
      cv::magnitude(own, otherShare * other, slope);
      cv::pow(slope / params.steepSlope, 2, slope);
      return cv::Mat(params.smoothness * creases / (1 + slope));
    };
    const cv::Mat bend = fading(dx, dy, 1.0), bendAcrossRows = fading(dy, dx, kSlopeAlongRowsShare);

    // The system spans the region's bounding box only; no stencil reaches beyond it.
    RoundSystem system;
    system.diagonal = cv::Mat(dataWeight.mul(a) + params.priorWeight * insideWeight)(box).clone();
    system.xx = cv::Mat(bend.mul(insideX))(box).clone();
    system.yy = cv::Mat(bendAcrossRows.mul(insideY))(box).clone();
    system.xy = cv::Mat(bend.mul(insideXY))(box).clone();
    cv::Mat rhs;
    // The bending's and the prior's gradients, and a d of the data's.
    (void)system.Apply(d64(box).clone(), rhs);
    rhs -=
        cv::Mat(dataWeight.mul(a).mul(d64) + params.priorWeight * insideWeight.mul(prior64))(box);
    rhs = -rhs - cv::Mat(dataWeight.mul(b))(box);
    rhs.setTo(0, ~inside(box));
    const cv::Mat step = Solve(system, rhs, report.progress);
    if (step.empty()) return false;
    for (int y = 0; y < box.height; ++y)
      for (int x = 0; x < box.width; ++x)
        if (inside.at<uint8_t>(box.y + y, box.x + x))
          field.at<float>(box.y + y, box.x + x) += static_cast<float>(
              std::clamp(step.at<double>(y, x), -static_cast<double>(params.maxStep),
                         static_cast<double>(params.maxStep)));
  }
  field.copyTo(disparity, inside);
  return true;
}

void FillFromSurroundings(cv::Mat& disparity, const cv::Mat& region, const cv::Mat& prior) {
  const cv::Mat matched = MatchedMask(disparity);
  cv::Mat missing = (region != 0) & ~matched;
  cv::Mat difference = disparity - prior, weights;
  difference.setTo(0, ~matched);
  matched.convertTo(weights, CV_32F, 1.0 / 255);
  // Each scale halves the images before a Gaussian of 2 pixels: the reach doubles while the
  // work shrinks.
  const cv::Mat weighted = difference.mul(weights);
  for (int factor = 1;
       cv::countNonZero(missing) > 0 && factor < 2 * std::max(disparity.cols, disparity.rows);
       factor *= 2) {
    const cv::Size small(std::max(1, disparity.cols / factor),
                         std::max(1, disparity.rows / factor));
    cv::Mat spread, weight;
    cv::resize(weighted, spread, small, 0, 0, cv::INTER_AREA);
    cv::resize(weights, weight, small, 0, 0, cv::INTER_AREA);
    cv::GaussianBlur(spread, spread, cv::Size(), 2.0);
    cv::GaussianBlur(weight, weight, cv::Size(), 2.0);
    cv::resize(spread, spread, disparity.size(), 0, 0, cv::INTER_LINEAR);
    cv::resize(weight, weight, disparity.size(), 0, 0, cv::INTER_LINEAR);
    for (int y = 0; y < disparity.rows; ++y)
      for (int x = 0; x < disparity.cols; ++x) {
        if (!missing.at<uint8_t>(y, x) || weight.at<float>(y, x) < 1e-3f) continue;
        disparity.at<float>(y, x) =
            prior.at<float>(y, x) + spread.at<float>(y, x) / weight.at<float>(y, x);
        missing.at<uint8_t>(y, x) = 0;
      }
  }
  // A region with no match at all takes the dots' interpolation.
  prior.copyTo(disparity, missing);
}

}  // namespace q3d
