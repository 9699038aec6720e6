// Opens every .tiff in the folder given as argument and, for each, prints its name, width,
// height, bit depth, channels and slices, and saves its pixels as ImageJ holds them beside
// it (<name>.raw: samples of a pixel together, 16-bit ones big-endian).
folder = getArgument();
names = getFileList(folder);
setBatchMode(true);
for (i = 0; i < names.length; i++) {
    if (!endsWith(names[i], ".tiff"))
        continue;
    open(folder + "/" + names[i]);
    getDimensions(width, height, channels, slices, frames);
    print(names[i] + " " + width + " " + height + " " + bitDepth() + " " + channels + " " + slices);
    saveAs("Raw Data", folder + "/" + names[i] + ".raw");
    close();
}
