// The browser's decoding of a picture file's bytes: its pixels as the file holds them (no
// colour conversion, no premultiplication), as RGBA, or null where the browser cannot decode
// them. Used by browser.cpp inside the module (--pre-js), and by the page, which decodes the
// show's pictures ahead of play with the same function (and without the program's checks
// first: so pictures beyond the decoders' limits are refused here too, before any pixels).
var ulvo_decode_picture = async function (bytes) {
  let bitmap;
  try {
    bitmap = await createImageBitmap(new Blob([bytes]), { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
  } catch (e) {
    return null;
  }
  if (bitmap.width > 16384 || bitmap.height > 16384 || bitmap.width * bitmap.height * 4 > 256 * 1024 * 1024) {
    bitmap.close();
    return null;
  }
  const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
  const context = canvas.getContext('2d', { willReadFrequently: true });
  context.drawImage(bitmap, 0, 0);
  bitmap.close();
  return context.getImageData(0, 0, canvas.width, canvas.height);
};
