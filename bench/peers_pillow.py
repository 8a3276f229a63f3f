#!/usr/bin/env python3
"""Pillow's Lanczos3 resampling and bilinear rotation on a 4000 x 3000 picture, as ratios to one
memcpy of the picture's rows measured in the same run (the peer figures of bench_toolkit).
Needs python3-pil (scripts/setup-bench.sh); run it with the system Python: /usr/bin/python3."""
import ctypes
import math
import statistics
import time

from PIL import Image

W, H = 4000, 3000


def picture():
    # Smooth gradients with a little texture, like the benchmark's own photo.
    rows = bytearray(W * H * 3)
    for y in range(H):
        v = y / H
        base = y * W * 3
        for x in range(0, W, 8):
            u = x / W
            r = int(60 + 180 * u * v) & 255
            g = int(120 + 60 * math.sin((u + v) * 17)) & 255
            b = int(200 * v + 40 * math.sin(u * 31)) & 255
            rows[base + x * 3: base + x * 3 + 24] = bytes((r, g, b)) * 8
    return Image.frombytes("RGB", (W, H), bytes(rows))


def median_seconds(op, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        op()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main():
    image = picture()
    size = ((W * 3 + 3) & ~3) * H
    src = ctypes.create_string_buffer(size)
    dst = ctypes.create_string_buffer(size)
    memcpy = median_seconds(lambda: ctypes.memmove(dst, src, size), 50)
    cases = [
        ("Pillow resize 0.5 LANCZOS", lambda: image.resize((W // 2, H // 2), Image.LANCZOS), 7),
        ("Pillow resize 2.0 LANCZOS", lambda: image.resize((W * 2, H * 2), Image.LANCZOS), 3),
        ("Pillow rotate 30 BILINEAR expand",
         lambda: image.rotate(30, resample=Image.BILINEAR, expand=True), 5),
    ]
    print(f"memcpy {memcpy * 1000:.2f} ms")
    for name, op, runs in cases:
        t = median_seconds(op, runs)
        print(f"{name}: {t * 1000:.1f} ms = {t / memcpy:.1f} x memcpy")


if __name__ == "__main__":
    main()
