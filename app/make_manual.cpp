// Build step: turns the manual's text into the PDF that the help menu opens.
//   make_manual SOURCE.txt OUTPUT.pdf [TITLE]

#include "output/pdf/pdf_maker.h"
#include "output/report/manual.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::cerr << "usage: make_manual SOURCE.txt OUTPUT.pdf [TITLE]\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream source;
    source << in.rdbuf();
    if (!in.is_open()) {
        std::cerr << "make_manual: cannot read " << argv[1] << "\n";
        return 1;
    }
    const std::filesystem::path target(argv[2]);
    std::filesystem::path temporary = target;
    temporary += ".tmp";
    try {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        kvx::WriteManual(source.str(), argc == 4 ? argv[3] : "Kalvex 操作マニュアル", out);
        out.close();
        if (!out)
            throw kvx::PdfError("write failed");
        std::filesystem::rename(temporary, target);
    } catch (const std::exception& e) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        std::cerr << "make_manual: " << target.string() << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}
