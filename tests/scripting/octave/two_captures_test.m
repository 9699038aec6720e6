function two_captures_test(width, height)
% Two captures through capture_get from a server with the default colour format: images of
% the camera's size, uint8 RGB, and the second one a later frame. Prints what the second
% one's info holds for the caller to compare with the file.
pkg load instrument-control
client = tcpclient('127.0.0.1', 55555, 'Timeout', 10);
[first, first_info] = capture_get(client, 1);
[second, second_info] = capture_get(client, 2);
write(client, uint8('End'));
assert(isequal(size(first), [height, width, 3]) && isa(first, 'uint8'));
assert(isequal(size(second), [height, width, 3]) && isa(second, 'uint8'));
assert(second_info.frame_id > first_info.frame_id);
fprintf('frame_id=%d timestamp_us=%d\n', second_info.frame_id, second_info.timestamp_us);
fprintf('%s %s %s %s %d %d %g %d %d\n', second_info.timestamp_clock, second_info.host_time, ...
        second_info.camera, second_info.pixel_format, second_info.width, second_info.height, ...
        second_info.frame_rate, isempty(second_info.exposure_us), ...
        isequal(second_info.description.camera, second_info.camera));
end
