"""The same composition with Pillow: each picture fitted to its screen with
BILINEAR ImageOps.fit, pasted side by side, saved as BMP. Prints the time spent
composing, in milliseconds, interpreter start-up and imports excluded."""
import sys
import time

from PIL import Image, ImageOps


def main():
    output, width, height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    inputs = sys.argv[4:]
    start = time.perf_counter()
    canvas = Image.new("RGB", (width * len(inputs), height))
    for index, path in enumerate(inputs):
        with Image.open(path) as picture:
            if picture.mode != "RGB":
                picture = picture.convert("RGB")
            fitted = ImageOps.fit(picture, (width, height), Image.Resampling.BILINEAR)
        canvas.paste(fitted, (index * width, 0))
    canvas.save(output, "BMP")
    print(f"{(time.perf_counter() - start) * 1000.0:.3f}")


if __name__ == "__main__":
    main()
