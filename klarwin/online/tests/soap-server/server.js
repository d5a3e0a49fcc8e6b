// Klarwin's log service for the tests, built from the checked-in service
// description with the soap package and listening on loopback only.
//
//   node server.js WSDL PORTFILE [NAMESPACE]
//
// A front server on a free loopback port (written to PORTFILE) records every
// request to /service.asmx (its SOAPAction header and body, read back from
// /last) and hands it to the SOAP server, unless a fault is switched on.
// /control?key=value&... resets the answers, then applies:
//   accept=true|false   ReportComputerLogResult (default true)
//   logid=N             the LogID returned (default 4711)
//   status=N            GetStatusResult (default 0)
//   comments=TEXT, commands=TEXT   the Comments and SolutionCommands returned
//   fault=http500|soapfault|malformed|silent
'use strict';
const fs = require('fs');
const http = require('http');
const soap = require('soap');

const [wsdlPath, portFile, namespace] = process.argv.slice(2);
const defaultNamespace = 'http://klarwin.example/LogService/';
let wsdl = fs.readFileSync(wsdlPath, 'utf8');
if (namespace && namespace !== defaultNamespace) wsdl = wsdl.split(defaultNamespace).join(namespace);

const defaults = { accept: 'true', logid: '4711', status: '0', comments: '', commands: '', fault: '' };
let answers = { ...defaults };
let last = null;

const service = {
  Service: {
    ServiceSoap: {
      ReportComputerLog(args) {
        if (answers.fault === 'soapfault') {
          throw { Fault: { faultcode: 'soap:Server', faultstring: 'The log could not be stored' } };
        }
        return { ReportComputerLogResult: answers.accept === 'true', LogID: Number(answers.logid) };
      },
      GetStatus(args) {
        if (answers.fault === 'soapfault') {
          throw { Fault: { faultcode: 'soap:Server', faultstring: 'No such log' } };
        }
        return { GetStatusResult: Number(answers.status), Comments: answers.comments,
                 SolutionCommands: answers.commands };
      },
      GetDetails(args) {
        return { GetDetailsResult: { ID: args.ID, ProductVersion: '', DateTime: new Date().toISOString(),
                                     Email: '', Desc: '', Log: '' } };
      },
    },
  },
};

const inner = http.createServer((req, res) => { res.statusCode = 404; res.end(); });
inner.listen(0, '127.0.0.1', () => {
  soap.listen(inner, '/service.asmx', service, wsdl);
  const innerPort = inner.address().port;

  const front = http.createServer((req, res) => {
    const url = new URL(req.url, 'http://127.0.0.1');
    if (url.pathname === '/control') {
      answers = { ...defaults };
      for (const [k, v] of url.searchParams) answers[k] = v;
      last = null;
      res.end('ok');
      return;
    }
    if (url.pathname === '/last') {
      res.setHeader('Content-Type', 'text/plain; charset=utf-8');
      res.end(last ? `${last.soapAction}\n${last.contentType}\n${last.body}` : '');
      return;
    }
    const chunks = [];
    req.on('data', (c) => chunks.push(c));
    req.on('end', () => {
      const body = Buffer.concat(chunks);
      last = { soapAction: req.headers['soapaction'] || '', contentType: req.headers['content-type'] || '',
               body: body.toString('utf8') };
      if (answers.fault === 'silent') return;  // never answers; the client gives up
      if (answers.fault === 'http500') {
        res.statusCode = 500;
        res.end('Internal Server Error');
        return;
      }
      if (answers.fault === 'malformed') {
        res.setHeader('Content-Type', 'text/xml; charset=utf-8');
        res.end('<?xml version="1.0"?><soap:Envelope xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/"><soap:Body><Rep');
        return;
      }
      const headers = { ...req.headers, 'content-length': String(body.length) };
      const forward = http.request({ host: '127.0.0.1', port: innerPort, path: req.url, method: req.method, headers },
        (answer) => {
          res.writeHead(answer.statusCode, answer.headers);
          answer.pipe(res);
        });
      forward.on('error', () => { res.statusCode = 502; res.end(); });
      forward.end(body);
    });
  });
  front.listen(0, '127.0.0.1', () => {
    fs.writeFileSync(portFile, String(front.address().port));
  });
});
