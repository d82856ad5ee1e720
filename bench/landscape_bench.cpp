// Times the landscape of a cubic cell of 10 Å at a step of 0.1 Å (100 × 100 × 100 points) with
// a cutoff of 6 Å: on one thread, on every core, and the percolation that follows. The frame is
// a fixed pseudo-random one of the density of an oxide (60 anions, 20 cations that block), so
// that every run times the same work.
//
//     build/bench/landscape_bench [threads]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

#include "landscape/landscape_frame.h"
#include "landscape/landscape_grid.h"
#include "landscape/percolation.h"

namespace {

tarnell::LandscapeFrame benchFrame() {
    tarnell::LandscapeFrame frame;
    frame.cell = {10.0, 10.0, 10.0, 90.0, 90.0, 90.0};
    frame.ion = {"Li", 1};
    std::mt19937 random(26);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int n = 0; n < 80; ++n) {
        tarnell::FrameIon ion;
        ion.position = {unit(random), unit(random), unit(random)};
        const bool anion = n < 60;
        ion.label = anion ? "O" : "Mg";
        ion.element = ion.label;
        ion.valence = anion ? -2 : 2;
        ion.counterIon = anion;
        ion.r0 = 1.466;
        ion.b = 0.37;
        frame.ions.push_back(ion);
    }
    return frame;
}

double secondsFor(const tarnell::LandscapeFrame& frame, int threads, tarnell::Landscape& out) {
    const auto start = std::chrono::steady_clock::now();
    if (!tarnell::computeLandscape(frame, {0.1, 6.0, threads}, out).ok()) std::exit(1);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int all = argc > 1 ? std::atoi(argv[1])
                             : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const tarnell::LandscapeFrame frame = benchFrame();
    tarnell::Landscape landscape;
    const double one = secondsFor(frame, 1, landscape);
    const double many = secondsFor(frame, all, landscape);
    const auto start = std::chrono::steady_clock::now();
    const tarnell::Percolation p = tarnell::findPercolation(landscape.points, landscape.values);
    const double percolation =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("landscape %d x %d x %d points, cutoff 6 A: %.2f s on 1 thread, %.2f s on %d\n",
                landscape.points[0], landscape.points[1], landscape.points[2], one, many, all);
    std::printf("percolation: %.2f s (3D at %.4f)\n", percolation,
                p.thresholds[2] ? *p.thresholds[2] : -1.0);
    return 0;
}
