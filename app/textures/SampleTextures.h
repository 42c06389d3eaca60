#pragma once
// The hull and spinnaker textures the game ships with, drawn by code so anyone can see how
// the bitmaps are laid out and make their own.
//
// Hull, 128 x 128: the top 40 % is the starboard topsides as seen from outside (deck line on
// top, stern at the left, bow at the right), the bottom 40 % the port topsides turned half a
// turn (deck line at the bottom, and as seen from outside the bow is on the left), the middle
// fifth is not used. Spinnaker, 128 x 128: head at the top, foot at the bottom; only the middle
// 60 % of the width shows, the centre line at the middle column.

#include "RgbImage.h"

TRgbImage SampleHullTexture();
TRgbImage SampleSpinnakerTexture();
