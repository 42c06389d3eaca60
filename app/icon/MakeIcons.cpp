// Draws the program's icon in the sizes given and writes each as marevo-<size>.png into
// FOLDER, with the hull and spinnaker textures given.
//
//   make_icons FOLDER HALTEX.BMP SPINTEX.BMP SIZE...

#include "YachtIcon.h"
#include "platform/vcl/Forms.h"

#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s FOLDER HULL.BMP SPINNAKER.BMP SIZE...\n", argv[0]);
        return 2;
    }
    std::vector<int> sizes;
    for (int i = 4; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 1 || size > 1024) {
            std::fprintf(stderr, "%s: no icon size: %s\n", argv[0], argv[i]);
            return 2;
        }
        sizes.push_back(size);
    }
    // Drawn at build time, where there may be no display at all.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    vcl::TFrameworkApp qt(argc, argv);
    vcl::TApplication application;
    vcl::TForm form;
    TDrawYacht scene(&form);
    scene.SetDisplayMode(dddd::TDDDDDispMode::dmWin640x480x16);
    form.DoCreate();
    scene.InitScene();
    scene.AddYacht(1, argv[2]);
    scene.SetSpinnakerTexture(1, argv[3]);
    PoseIconYacht(scene);

    for (const int size : sizes) {
        const TIconPicture picture = RenderYachtIcon(scene, size);
        QImage image(size, size, QImage::Format_ARGB32);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                image.setPixel(x, y, picture.At(x, y));
        const std::string path = std::string(argv[1]) + "/marevo-" + std::to_string(size) + ".png";
        if (!image.save(QString::fromStdString(path), "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
