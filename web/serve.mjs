// Serves the web show's folder of static files on 127.0.0.1, for a viewer (run as a program:
// `node serve.mjs FOLDER [PORT]` prints the address) and for the browser tests, which may
// answer some paths themselves.
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.wasm': 'application/wasm',
  '.gif': 'image/gif',
  '.jpg': 'image/jpeg',
  '.mp3': 'audio/mpeg',
};

// `answer(pathname)`, where given, may return { status } or { file } to answer a path itself.
export function serve(folder, { port = 0, answer = null } = {}) {
  const root = path.resolve(folder);
  const server = http.createServer((request, response) => {
    let pathname;
    try {
      pathname = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    } catch (e) {
      response.writeHead(400).end();
      return;
    }
    if (pathname.endsWith('/')) pathname += 'index.html';
    const own = answer ? answer(pathname) : null;
    if (own && own.status) {
      response.writeHead(own.status).end();
      return;
    }
    const file = own && own.file ? own.file : path.join(root, pathname);
    // Nothing outside the folder, whatever the request says.
    if (!(own && own.file) && !file.startsWith(root + path.sep)) {
      response.writeHead(403).end();
      return;
    }
    fs.readFile(file, (error, bytes) => {
      if (error) {
        response.writeHead(404).end();
        return;
      }
      response.writeHead(200, {
        'content-type': types[path.extname(file)] || 'application/octet-stream',
        'cache-control': 'no-cache',
      });
      response.end(bytes);
    });
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => resolve(server));
  });
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  const folder = process.argv[2];
  if (!folder || !fs.existsSync(path.join(folder, 'index.html'))) {
    console.error('usage: node serve.mjs FOLDER [PORT]   (FOLDER holds index.html)');
    process.exit(2);
  }
  const server = await serve(folder, { port: Number(process.argv[3] || 8080) });
  console.log(`The web show is at http://127.0.0.1:${server.address().port}/ (Ctrl+C stops it)`);
}
