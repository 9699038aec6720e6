function [img, info] = capture_get(client, slot, folder)
%CAPTURE_GET Captures one frame through a running capture server and returns its image.
%   IMG = CAPTURE_GET(CLIENT, SLOT) sends "Get1" or "Get2" (SLOT 1 or 2) over CLIENT, a
%   tcpclient connected to 127.0.0.1:55555, waits up to CLIENT.Timeout seconds for the reply,
%   and returns the image the server saved as 0001.tiff or 0002.tiff: height x width for
%   8- or 16-bit grey, height x width x 3 for RGB, uint8 or uint16.
%   IMG = CAPTURE_GET(CLIENT, SLOT, FOLDER) reads the file from FOLDER, the server's working
%   folder (by default the current folder).
%   [IMG, INFO] = CAPTURE_GET(...) also returns what the file says of its frame: INFO.frame_id
%   and INFO.timestamp_us (the frame's id and time in microseconds, on the clock that
%   INFO.timestamp_clock names: 'camera' or 'host'), INFO.host_time (the host's UTC time when
%   the frame arrived, as text: '2026-12-10T13:52:00.123456Z'), INFO.camera (its ID),
%   INFO.pixel_format (the raw format), the numbers INFO.width, INFO.height, INFO.offset_x,
%   INFO.offset_y, INFO.exposure_us, INFO.gain, INFO.frame_rate and INFO.temperature_c, each
%   [] where the camera did not have it, and INFO.description, every key of the file's
%   description as a field holding its text.
%
%   Errors: capture_get:fail when the server answers "Fail" (the frame could not be
%   converted or saved), capture_get:closed when the connection ends before the reply (the
%   server has ended), capture_get:timeout when no reply comes in time,
%   capture_get:reply for any other reply. After a timeout, close the client: a late reply
%   would pass for the next one.
%
%   Example (in Octave, first: pkg load instrument-control):
%       client = tcpclient("127.0.0.1", 55555, "Timeout", 10);
%       img = capture_get(client, 1);
%       write(client, uint8("End"));
if nargin < 3
    folder = pwd;
end
if ~(isequal(slot, 1) || isequal(slot, 2))
    error('capture_get:slot', 'capture_get: SLOT must be 1 or 2');
end
command = sprintf('Get%d', slot);
write(client, uint8(command));
reply = read_reply(client, 5, command);
if strcmp(reply, sprintf('Fail\n'))
    error('capture_get:fail', 'capture_get: the server could not convert or save the frame of %s', command);
end
if ~strcmp(reply, sprintf('Done\n'))
    error('capture_get:reply', 'capture_get: reply "%s" to %s', reply, command);
end
file = fullfile(folder, sprintf('%04d.tiff', slot));
img = imread(file);
if nargout > 1
    info = frame_info(file);
end
end

function reply = read_reply(client, count, command)
% The reply of count bytes, never more: read waits until they have come or the client's
% Timeout has passed (then it returns fewer), and fails when the connection has ended.
try
    bytes = read(client, count);
catch failure
    error('capture_get:closed', 'capture_get: the connection ended before the reply to %s (%s)', ...
          command, failure.message);
end
reply = char(bytes(:)');
if numel(reply) < count
    error('capture_get:timeout', 'capture_get: no reply to %s within %g s (got "%s")', ...
          command, client.Timeout, reply);
end
end

function info = frame_info(file)
% MATLAB shows the TIFF's ImageDescription under that name, Octave under Comment.
meta = imfinfo(file);
text = '';
if isfield(meta, 'ImageDescription') && ~isempty(meta.ImageDescription)
    text = meta.ImageDescription;
elseif isfield(meta, 'Comment')
    text = meta.Comment;
end
% As text: sscanf's %d would stop at the largest 32-bit integer.
values = regexp(char(text), '^frame_id=(\d+) timestamp_us=(\d+)', 'tokens', 'once');
if numel(values) ~= 2
    error('capture_get:file', 'capture_get: %s carries no frame_id and timestamp_us', file);
end
info = struct('frame_id', str2double(values{1}), 'timestamp_us', str2double(values{2}));
description = struct();
pairs = regexp(char(text), '(\w+)=(\S*)', 'tokens');
for k = 1:numel(pairs)
    description.(pairs{k}{1}) = pairs{k}{2};
end
for key = {'timestamp_clock', 'host_time', 'camera', 'pixel_format'}
    info.(key{1}) = field_or_empty(description, key{1});
end
for key = {'width', 'height', 'offset_x', 'offset_y', 'exposure_us', 'gain', 'frame_rate', ...
           'temperature_c'}
    info.(key{1}) = str2double(field_or_empty(description, key{1}));
    if isnan(info.(key{1}))
        info.(key{1}) = [];
    end
end
info.description = description;
end

function value = field_or_empty(fields, key)
if isfield(fields, key)
    value = fields.(key);
else
    value = [];
end
end
