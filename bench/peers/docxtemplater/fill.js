// Fills a memo template of its own ({placeholders} in template/) COUNT times, writing each
// memo to OUT: the peer bench_batch times beside Scrivane's DOCX batch.
const fs = require('fs');
const path = require('path');
const PizZip = require('pizzip');
const Docxtemplater = require('docxtemplater');

const count = Number(process.argv[2] || 1000);
const out = process.argv[3] || 'out';
fs.mkdirSync(out, { recursive: true });

// The template is kept as its parts so the repository holds no binary; zipped once here.
const source = path.join(__dirname, 'template');
const zip = new PizZip();
(function add(folder) {
  for (const entry of fs.readdirSync(path.join(source, folder), { withFileTypes: true })) {
    const name = path.posix.join(folder, entry.name);
    if (entry.isDirectory()) add(name);
    else zip.file(name, fs.readFileSync(path.join(source, name)));
  }
})('');
const template = zip.generate({ type: 'nodebuffer', compression: 'DEFLATE' });

for (let i = 0; i < count; i++) {
  const doc = new Docxtemplater(new PizZip(template), { paragraphLoop: true, linebreaks: true });
  doc.render({ company: 'Tarnwick', to: `Recipient ${i + 1}\nDepartment ${i % 7 + 1}`, cc: 'Tobin Varden',
    from: 'Ewan Varden\nFinance Office', date: 'Tuesday, December 8th, 2026', re: 'Memo To Cat',
    message: `Memo ${i + 1}.\n\nWe are no longer accepting delivery of small birds or rodents.\nThank you.` });
  fs.writeFileSync(path.join(out, `memo-${i + 1}.docx`), doc.getZip().generate({ type: 'nodebuffer', compression: 'DEFLATE' }));
}
